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
    std::uint8_t Code;
    QString ErrorCaption;
    QString SuccessText;
};

const SectionTexts& TextsOf(std::uint8_t code) {
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
        if (s.Code == code)
            return s;
    }
    return sections[0];
}

} // namespace

void DeviceProcedures::ControlModePause(int ms) {
    if (m_config.ControlMode)
        m_ui.Pause(ms);
}

bool DeviceProcedures::SendSection(std::uint8_t code, const ByteBuffer& payload, bool announce) {
    const SectionTexts& texts = TextsOf(code);
    qCDebug(procedureLog) << "section" << Qt::hex << Qt::showbase << code << "to address" << Qt::dec
                          << m_config.Info.Address;
    if (!Transact(AddressedFrame(m_config.Info.Address, code, payload))) {
        tell(NoAnswerText, texts.ErrorCaption, MessageIcon::Error);
        return false;
    }
    if (announce)
        tell(texts.SuccessText, QStringLiteral("设置成功"), MessageIcon::Information);
    return true;
}

bool DeviceProcedures::EncodePortTable(ByteBuffer& payload) {
    PortTableEncoding encoding = EncodeWritePortParams(m_config.Ports, m_config.DeviceModel);
    if (!encoding.IsOk()) {
        tell(encoding.Error->Text, encoding.Error->Caption, MessageIcon::Error);
        return false;
    }
    payload = std::move(encoding.Payload);
    return true;
}

bool DeviceProcedures::WritePortSection(bool announce) {
    BusyScope busy(*this);
    if (!EnsureIdentified())
        return false;
    ByteBuffer payload;
    if (!EncodePortTable(payload))
        return false;
    return SendSection(command::WritePortParams, payload, announce);
}

bool DeviceProcedures::WriteTrunkAttributeSection(bool announce) {
    BusyScope busy(*this);
    if (!EnsureIdentified())
        return false;
    return SendSection(command::WriteTrunkAttributes, EncodeWriteTrunkAttributes(m_config.Trunk),
                       announce);
}

bool DeviceProcedures::WriteGpsSection(bool announce) {
    BusyScope busy(*this);
    if (!EnsureIdentified())
        return false;
    return SendSection(command::WriteGps, EncodeWriteGps(m_config.Gps), announce);
}

bool DeviceProcedures::WriteTrunkDelaySection(bool announce) {
    BusyScope busy(*this);
    if (!EnsureIdentified())
        return false;
    return SendSection(command::WriteTrunkDelay, EncodeWriteTrunkDelay(m_config.Trunk), announce);
}

bool DeviceProcedures::WriteAll(std::uint32_t serialNumber, std::uint32_t address,
                                bool withSchedule) {
    if (!m_transport.Comm().IsOpen()) {
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
    const ScheduleSource schedule = withSchedule ? LoadSchedule() : ScheduleSource{};
    if (withSchedule && RefuseSchedule(schedule))
        return false;
    if (!EnsureIdentified())
        return false;
    ByteBuffer ports;
    if (!EncodePortTable(ports))
        return false;

    bool ok = SendSection(command::WritePortParams, ports, false);
    if (ok) {
        ControlModePause(LongPauseMs);
        ok = SendSection(command::WriteTrunkAttributes, EncodeWriteTrunkAttributes(m_config.Trunk),
                         false);
    }
    if (ok) {
        ControlModePause(LongPauseMs);
        ok = SendSection(command::WriteGps, EncodeWriteGps(m_config.Gps), false);
    }
    if (ok) {
        ControlModePause(GpsPauseMs);
        ok = SendSection(command::WriteTrunkDelay, EncodeWriteTrunkDelay(m_config.Trunk), false);
    }
    if (ok && withSchedule) {
        ControlModePause(LongPauseMs);
        ok = SendScheduleBlocks(schedule);
    }
    if (!ok) {
        tell(QStringLiteral("写入失败！"), text::CaptionOrlendis, MessageIcon::Information);
        return false;
    }

    m_config.MarkWritten();
    m_ui.PortTableChanged();
    tell(QStringLiteral("祝贺你，写入成功！"), text::CaptionOrlendis, MessageIcon::Information);
    // A remotely controlled device may still be applying what it got.
    if (!m_config.ControlMode)
        ReadDevice();
    return true;
}

void DeviceProcedures::WriteAllTrunkSections() {
    // Held across the pauses too, so that no other operation starts between the writes.
    BusyScope busy(*this);
    if (!WriteTrunkAttributeSection(true))
        return;
    ControlModePause(LongPauseMs);
    if (!WriteGpsSection(true))
        return;
    ControlModePause(LongPauseMs);
    if (!WriteTrunkDelaySection(true))
        return;
    ControlModePause(LongPauseMs);
}

bool DeviceProcedures::SetAddress() {
    if (!m_transport.Comm().IsOpen()) {
        tell(PortNotOpen, text::CaptionKorvane, MessageIcon::Error);
        return false;
    }
    BusyScope busy(*this);
    if (!EnsureIdentified())
        return false;
    const ByteBuffer payload = EncodeSetAddress(m_config.Info.SerialNumber, m_config.Info.Address);
    qCDebug(procedureLog) << "address" << m_config.Info.Address << "to serial number"
                          << m_config.Info.SerialNumber;
    if (!Transact(PlainFrame(command::SetAddress, payload))) {
        tell(NoAnswerText, QStringLiteral("地址设置通讯错误"), MessageIcon::Error);
        return false;
    }
    tell(QStringLiteral("祝贺你，地址写入成功！"), text::CaptionOrlendis, MessageIcon::Information);
    return true;
}

} // namespace korvane
