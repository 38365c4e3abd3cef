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
        auto answer = m_transport.transact(frame);
        if (answer)
            m_loss.reset();
        return answer;
    } catch (const KorvaneError& e) {
        // The port went away; the transport has closed it.
        emit portLabelChanged(QStringLiteral("断开"));
        if (!m_portLossAsNoAnswer || e.kind() != KorvaneError::Kind::Port)
            throw;
        if (!m_loss)
            m_loss = e;
        return std::nullopt;
    }
}

QString DeviceProcedures::identifyDevice() {
    BusyScope busy(*this);
    const auto answer = transact(readRequest(command::ReadPortParams));
    if (!answer) {
        const std::optional<KorvaneError> loss = std::exchange(m_loss, std::nullopt);
        throw loss ? KorvaneError(NoAnswerText, KorvaneError::Kind::Device, loss->systemError(),
                                  loss->reason(), loss->hint())
                   : KorvaneError(NoAnswerText, KorvaneError::Kind::Device);
    }
    return modelFromProbeAnswer(*answer);
}

void DeviceProcedures::tell(const QString& text, const QString& caption, MessageIcon icon,
                            const QString& detail) {
    qCDebug(procedureLog).noquote()
        << (icon == MessageIcon::Error ? "error:" : "told:") << caption << "|" << text;
    QString further = detail;
    if (icon == MessageIcon::Error && m_loss) {
        const QString lossDetail = std::exchange(m_loss, std::nullopt)->detail();
        if (further.isEmpty())
            further = lossDetail;
    }
    if (further.isEmpty())
        m_ui.showMessage(text, caption, icon);
    else
        m_ui.showDetailedMessage(text, caption, icon, further);
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
    if (!m_transport.isOpen()) {
        try {
            m_transport.openPort();
        } catch (...) {
            emit portLabelChanged(QStringLiteral("断开"));
            throw;
        }
    }
    emit portLabelChanged(m_transport.isOpen() ? m_transport.portDescription()
                                               : QStringLiteral("断开"));
}

void DeviceProcedures::showSummary() {
    emit trunkSummaryChanged(trunkSummary(m_config));
}

namespace {

constexpr std::uint8_t ReadCodes[] = {command::ReadAddress,         command::ReadSerialNumber,
                                      command::ReadPortParams,      command::ReadGps,
                                      command::ReadTrunkAttributes, command::ReadTrunkDelay};

} // namespace

bool DeviceProcedures::readDevice() {
    ReadAnswers answers;
    return readInto(m_config, answers);
}

bool DeviceProcedures::readInto(DeviceConfiguration& into, ReadAnswers& answers) {
    BusyScope busy(*this);
    openPortIfClosed();
    if (!ensureIdentified())
        return false;
    into.setRefreshed(true);
    into.setPorts({});
    for (std::uint8_t code : ReadCodes) {
        if (!readStep(code, into, answers))
            return false;
        if (&into == &m_config)
            tellRead(code, answers);
    }
    return true;
}

bool DeviceProcedures::readStep(std::uint8_t code, DeviceConfiguration& into,
                                ReadAnswers& answers) {
    qCDebug(procedureLog) << "read step" << Qt::hex << Qt::showbase << code;
    const QString& model = m_config.deviceModel;
    const auto answer = transact(readRequest(code));
    const ReadResponse r = answer ? checkReadResponse(code, model, std::span(*answer))
                                  : checkReadResponse(code, model, std::nullopt);
    if (!r.isOk()) {
        tell(r.error->text, r.error->caption, MessageIcon::Error);
        return false;
    }
    const ByteBuffer& f = r.frame;
    switch (code) {
    case command::ReadAddress:
        into.info.address = decodeReadAddress(f).value();
        answers.addressHex = answerHex(f);
        break;
    case command::ReadSerialNumber:
        into.info.serialNumber = decodeReadSerialNumber(f).value();
        answers.serialNumberHex = answerHex(f);
        break;
    case command::ReadPortParams:
        into.setPorts(decodeReadPortParams(f, model).value());
        break;
    case command::ReadGps:
        into.gps = decodeReadGps(f).value();
        break;
    case command::ReadTrunkAttributes:
        into.trunk = decodeReadTrunkAttributes(f, into.trunk).value();
        break;
    case command::ReadTrunkDelay:
        into.trunk = decodeReadTrunkDelay(f, model, into.trunk).value();
        break;
    default:
        break;
    }
    return true;
}

void DeviceProcedures::tellRead(std::uint8_t code, const ReadAnswers& answers) {
    switch (code) {
    case command::ReadAddress:
        emit addressRead(QString::number(m_config.info.address), answers.addressHex);
        break;
    case command::ReadSerialNumber:
        emit serialNumberRead(QString::number(m_config.info.serialNumber), answers.serialNumberHex);
        break;
    case command::ReadGps:
    case command::ReadTrunkAttributes:
    case command::ReadTrunkDelay:
        showSummary();
        break;
    default:
        break;
    }
}

bool DeviceProcedures::confirmWritten() {
    DeviceConfiguration device;
    device.deviceModel = m_config.deviceModel;
    device.trunk = m_config.trunk; // a KORVANE does not answer cycle B
    ReadAnswers answers;
    const bool read = readInto(device, answers);
    const QString differs = read && m_readBackCheck ? m_readBackCheck(m_config, device) : QString();
    if (!read || !differs.isEmpty()) {
        // The operator's values stay, to be mended and written again.
        if (read)
            tell(differs, text::CaptionOrlendis, MessageIcon::Warning);
        tell(WriteFailedText, text::CaptionOrlendis, MessageIcon::Information);
        return false;
    }
    m_config.markWritten();
    tell(QStringLiteral("祝贺你，写入成功！"), text::CaptionOrlendis, MessageIcon::Information);
    m_config.info.address = device.info.address;
    m_config.info.serialNumber = device.info.serialNumber;
    m_config.setPorts(device.ports);
    m_config.gps = device.gps;
    m_config.trunk = device.trunk;
    for (std::uint8_t code : ReadCodes)
        tellRead(code, answers);
    return true;
}

} // namespace korvane
