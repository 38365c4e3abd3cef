// SPDX-License-Identifier: MIT
// Writing the configuration to the device: the four sections, everything at once, the
// three trunk sections together, and the device address.

#include "protocol/DeviceProcedures.h"

#include "protocol/ProcedureLog.h"

#include "config/DisplayTexts.h"
#include "link/CommandTransport.h"
#include "link/SerialPort.h"
#include "protocol/Commands.h"
#include "protocol/PortTableCodec.h"
#include "protocol/SectionCodecs.h"

namespace korvane {

namespace {

const QString PortNotOpen = QStringLiteral("请选择通信端口！");

constexpr int LongPauseMs = 3000;
constexpr int GpsPauseMs = 300;

struct SectionTexts {
    std::uint8_t code;
    QString errorCaption;
    QString successText;
};

const SectionTexts& textsOf(std::uint8_t code) {
    static const SectionTexts sections[] = {
        {command::WritePortParams, QStringLiteral("端口参数设置通讯错误"),
         QStringLiteral("端口参数设置完毕。")},
        {command::WriteTrunkAttributes, QStringLiteral("干线参数通讯错误"),
         QStringLiteral("干线参数设置完毕")},
        {command::WriteGps, QStringLiteral("GPS参数通讯错误"), QStringLiteral("GPS参数设置完毕")},
        {command::WriteTrunkDelay, QStringLiteral("干线延时参数设置通讯错误"),
         QStringLiteral("干线延时参数设置完毕。")},
    };
    for (const SectionTexts& s : sections) {
        if (s.code == code)
            return s;
    }
    return sections[0];
}

} // namespace

void DeviceProcedures::controlModePause(int ms) {
    if (m_config.controlMode)
        m_ui.pause(ms);
}

bool DeviceProcedures::sendSection(std::uint8_t code, const ByteBuffer& payload, bool announce) {
    const SectionTexts& texts = textsOf(code);
    qCDebug(procedureLog) << "section" << Qt::hex << Qt::showbase << code << "to address" << Qt::dec
                          << m_config.info.address;
    if (!transact(addressedFrame(m_config.info.address, code, payload))) {
        tell(NoAnswerText, texts.errorCaption, MessageIcon::Error);
        return false;
    }
    if (announce)
        tell(texts.successText, QStringLiteral("设置成功"), MessageIcon::Information);
    return true;
}

bool DeviceProcedures::encodePortTable(ByteBuffer& payload) {
    PortTableEncoding encoding = encodeWritePortParams(m_config.ports, m_config.deviceModel);
    if (!encoding.isOk()) {
        tell(encoding.error->text, encoding.error->caption, MessageIcon::Error);
        return false;
    }
    payload = std::move(encoding.payload);
    return true;
}

bool DeviceProcedures::writePortSection(bool announce) {
    BusyScope busy(*this);
    if (!ensureIdentified())
        return false;
    ByteBuffer payload;
    if (!encodePortTable(payload))
        return false;
    return sendSection(command::WritePortParams, payload, announce);
}

bool DeviceProcedures::writeTrunkAttributeSection(bool announce) {
    BusyScope busy(*this);
    if (!ensureIdentified())
        return false;
    return sendSection(command::WriteTrunkAttributes, encodeWriteTrunkAttributes(m_config.trunk),
                       announce);
}

bool DeviceProcedures::writeGpsSection(bool announce) {
    BusyScope busy(*this);
    if (!ensureIdentified())
        return false;
    return sendSection(command::WriteGps, encodeWriteGps(m_config.gps), announce);
}

bool DeviceProcedures::writeTrunkDelaySection(bool announce) {
    BusyScope busy(*this);
    if (!ensureIdentified())
        return false;
    return sendSection(command::WriteTrunkDelay, encodeWriteTrunkDelay(m_config.trunk), announce);
}

bool DeviceProcedures::writeAll(std::uint32_t serialNumber, std::uint32_t address,
                                bool withSchedule) {
    if (!m_transport.isOpen()) {
        tell(PortNotOpen, text::CaptionKorvane, MessageIcon::Error);
        return false;
    }
    if (serialNumber == 0) {
        tell(QStringLiteral("序列号为0非法，请确认序列号不能为0！"), text::CaptionKorvane,
             MessageIcon::Error);
        return false;
    }
    if (address == 0) {
        tell(QStringLiteral("地址为0非法，请确认地址不能为0！"), text::CaptionKorvane,
             MessageIcon::Error);
        return false;
    }

    BusyScope busy(*this);
    // Whatever could never be sent is refused before the first frame, so that the
    // device is not left half written by it: first the schedule file, which needs no
    // answer from the device, then the port table, whose encoding needs the model.
    const ScheduleSource schedule = withSchedule ? loadSchedule() : ScheduleSource{};
    if (withSchedule && refuseSchedule(schedule)) {
        tell(WriteFailedText, text::CaptionOrlendis, MessageIcon::Information);
        return false;
    }
    if (!ensureIdentified())
        return false;
    ByteBuffer ports;
    if (!encodePortTable(ports))
        return false;

    bool ok = sendSection(command::WritePortParams, ports, false);
    if (ok) {
        controlModePause(LongPauseMs);
        ok = sendSection(command::WriteTrunkAttributes, encodeWriteTrunkAttributes(m_config.trunk),
                         false);
    }
    if (ok) {
        controlModePause(LongPauseMs);
        ok = sendSection(command::WriteGps, encodeWriteGps(m_config.gps), false);
    }
    if (ok) {
        controlModePause(GpsPauseMs);
        ok = sendSection(command::WriteTrunkDelay, encodeWriteTrunkDelay(m_config.trunk), false);
    }
    if (ok && withSchedule) {
        controlModePause(LongPauseMs);
        ok = sendScheduleBlocks(schedule);
    }
    if (!ok) {
        tell(WriteFailedText, text::CaptionOrlendis, MessageIcon::Information);
        return false;
    }
    // A remotely controlled device may still be applying what it got: nothing is read back.
    if (!m_config.controlMode)
        return confirmWritten();
    m_config.markWritten();
    tell(QStringLiteral("祝贺你，写入成功！"), text::CaptionOrlendis, MessageIcon::Information);
    return true;
}

void DeviceProcedures::writeAllTrunkSections() {
    // Held across the pauses too, so that no other operation starts between the writes.
    BusyScope busy(*this);
    if (!writeTrunkAttributeSection(true))
        return;
    controlModePause(LongPauseMs);
    if (!writeGpsSection(true))
        return;
    controlModePause(LongPauseMs);
    if (!writeTrunkDelaySection(true))
        return;
    controlModePause(LongPauseMs);
}

bool DeviceProcedures::setAddress(bool confirm) {
    if (!m_transport.isOpen()) {
        tell(PortNotOpen, text::CaptionKorvane, MessageIcon::Error);
        return false;
    }
    BusyScope busy(*this);
    if (!ensureIdentified())
        return false;
    const ByteBuffer payload = encodeSetAddress(m_config.info.serialNumber, m_config.info.address);
    qCDebug(procedureLog) << "address" << m_config.info.address << "to serial number"
                          << m_config.info.serialNumber;
    if (!transact(plainFrame(command::SetAddress, payload))) {
        tell(NoAnswerText, QStringLiteral("地址设置通讯错误"), MessageIcon::Error);
        return false;
    }
    // Any answer comes back, also from a device that the serial number does not name:
    // only the address it now answers with tells whether it took the new one.
    if (!confirm) {
        tell(QStringLiteral("祝贺你，地址写入成功！"), text::CaptionOrlendis,
             MessageIcon::Information);
        return true;
    }
    const auto answer = transact(readRequest(command::ReadAddress));
    const QString& model = m_config.deviceModel;
    const ReadResponse r = answer
                               ? checkReadResponse(command::ReadAddress, model, std::span(*answer))
                               : checkReadResponse(command::ReadAddress, model, std::nullopt);
    if (!r.isOk()) {
        tell(r.error->text, r.error->caption, MessageIcon::Error);
        return false;
    }
    const std::uint32_t kept = decodeReadAddress(r.frame).value_or(0);
    if (kept != m_config.info.address) {
        tell(QStringLiteral("设备没有接受新地址%1，仍是地址%2：请确认序列号%3是这台设备的序列号。")
                 .arg(m_config.info.address)
                 .arg(kept)
                 .arg(m_config.info.serialNumber),
             text::CaptionOrlendis, MessageIcon::Error);
        return false;
    }
    tell(QStringLiteral("祝贺你，地址写入成功！"), text::CaptionOrlendis, MessageIcon::Information);
    return true;
}

} // namespace korvane
