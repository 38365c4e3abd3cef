// SPDX-License-Identifier: MIT
#include "protocol/DeviceProcedures.h"

#include "protocol/ProcedureLog.h"

#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"
#include "config/TrunkSummary.h"
#include "link/CommandTransport.h"
#include "link/SerialPort.h"
#include "protocol/Commands.h"
#include "protocol/PortTableCodec.h"
#include "protocol/SectionCodecs.h"

namespace korvane {

QString answerHex(const ByteBuffer& frame) {
    QString out;
    for (std::uint8_t b : frame)
        out += QStringLiteral("%1 ").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return out;
}

DeviceProcedures::BusyScope::BusyScope(DeviceProcedures& p) : m_p(p) {
    if (m_p.m_busyDepth++ == 0)
        emit m_p.busyChanged(true);
}

DeviceProcedures::BusyScope::~BusyScope() {
    if (--m_p.m_busyDepth == 0)
        emit m_p.busyChanged(false);
}

DeviceProcedures::DeviceProcedures(DeviceConfiguration& config, CommandTransport& transport,
                                   DeviceOperator& ui, QObject* parent)
    : QObject(parent), m_config(config), m_transport(transport), m_ui(ui) {}

std::optional<ByteBuffer> DeviceProcedures::transact(const ByteBuffer& frame) {
    try {
        return m_transport.transact(frame);
    } catch (const KorvaneError&) {
        // The port went away; the transport has closed it.
        emit portLabelChanged(QStringLiteral("断开"));
        throw;
    }
}

QString DeviceProcedures::identifyDevice() {
    BusyScope busy(*this);
    const auto answer = transact(readRequest(command::ReadPortParams));
    if (!answer)
        throw KorvaneError(NoAnswerText, KorvaneError::Kind::Device);
    return modelFromProbeAnswer(*answer);
}

void DeviceProcedures::tell(const QString& text, const QString& caption, MessageIcon icon) {
    qCDebug(procedureLog).noquote()
        << (icon == MessageIcon::Error ? "error:" : "told:") << caption << "|" << text;
    m_ui.showMessage(text, caption, icon);
}

bool DeviceProcedures::ensureIdentified() {
    if (m_config.deviceModel != text::ModelUnknown)
        return true;
    BusyScope busy(*this);
    m_config.deviceModel = identifyDevice();
    qCDebug(procedureLog).noquote() << "identified as model" << m_config.deviceModel;
    if (m_config.deviceModel != text::ModelUnknown) {
        emit modelIdentified(m_config.deviceModel);
        return true;
    }
    tell(QStringLiteral("Korvane的版本信息不正确！"), text::CaptionOrlendis, MessageIcon::Error);
    return false;
}

void DeviceProcedures::openPortIfClosed() {
    SerialPort& port = m_transport.comm();
    if (!port.isOpen()) {
        try {
            port.openPort();
        } catch (...) {
            emit portLabelChanged(QStringLiteral("断开"));
            throw;
        }
    }
    emit portLabelChanged(port.isOpen() ? m_transport.portDescription() : QStringLiteral("断开"));
}

void DeviceProcedures::showSummary() {
    emit trunkSummaryChanged(trunkSummary(m_config));
}

bool DeviceProcedures::readDevice() {
    BusyScope busy(*this);
    openPortIfClosed();
    if (!ensureIdentified())
        return false;
    m_config.setRefreshed(true);
    m_config.setPorts({});
    for (std::uint8_t code :
         {command::ReadAddress, command::ReadSerialNumber, command::ReadPortParams,
          command::ReadGps, command::ReadTrunkAttributes, command::ReadTrunkDelay}) {
        if (!readStep(code))
            return false;
    }
    return true;
}

bool DeviceProcedures::readStep(std::uint8_t code) {
    qCDebug(procedureLog) << "read step" << Qt::hex << Qt::showbase << code;
    const auto answer = transact(readRequest(code));
    const ReadResponse r = answer
                               ? checkReadResponse(code, m_config.deviceModel, std::span(*answer))
                               : checkReadResponse(code, m_config.deviceModel, std::nullopt);
    if (!r.isOk()) {
        tell(r.error->text, r.error->caption, MessageIcon::Error);
        return false;
    }
    const ByteBuffer& f = r.frame;
    switch (code) {
    case command::ReadAddress:
        m_config.info.address = decodeReadAddress(f).value();
        emit addressRead(QString::number(m_config.info.address), answerHex(f));
        break;
    case command::ReadSerialNumber:
        m_config.info.serialNumber = decodeReadSerialNumber(f).value();
        emit serialNumberRead(QString::number(m_config.info.serialNumber), answerHex(f));
        break;
    case command::ReadPortParams:
        m_config.setPorts(decodeReadPortParams(f, m_config.deviceModel).value());
        break;
    case command::ReadGps:
        m_config.gps = decodeReadGps(f).value();
        showSummary();
        break;
    case command::ReadTrunkAttributes:
        m_config.trunk = decodeReadTrunkAttributes(f, m_config.trunk).value();
        showSummary();
        break;
    case command::ReadTrunkDelay:
        m_config.trunk = decodeReadTrunkDelay(f, m_config.deviceModel, m_config.trunk).value();
        showSummary();
        break;
    default:
        break;
    }
    return true;
}

} // namespace korvane
