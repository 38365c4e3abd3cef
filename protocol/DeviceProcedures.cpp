#include "protocol/DeviceProcedures.h"

#include "protocol/ProcedureLog.h"

#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"
#include "files/TrunkSummary.h"
#include "link/CommandTransport.h"
#include "link/SerialPort.h"
#include "protocol/Commands.h"
#include "protocol/PortTableCodec.h"
#include "protocol/SectionCodecs.h"

namespace korvane {

QString AnswerHex(const ByteBuffer& frame) {
    QString out;
    for (std::uint8_t b : frame)
        out += QStringLiteral("%1 ").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return out;
}

DeviceProcedures::BusyScope::BusyScope(DeviceProcedures& p) : m_p(p) {
    if (m_p.m_busyDepth++ == 0)
        m_p.m_ui.SetBusy(true);
}

DeviceProcedures::BusyScope::~BusyScope() {
    if (--m_p.m_busyDepth == 0)
        m_p.m_ui.SetBusy(false);
}

DeviceProcedures::DeviceProcedures(DeviceConfiguration& config, CommandTransport& transport,
                                   DeviceOperator& ui)
    : m_config(config), m_transport(transport), m_ui(ui) {}

std::optional<ByteBuffer> DeviceProcedures::Transact(const ByteBuffer& frame) {
    return m_transport.Transact(frame);
}

QString DeviceProcedures::IdentifyDevice() {
    BusyScope busy(*this);
    const auto answer = Transact(ReadRequest(command::ReadPortParams));
    if (!answer)
        throw KorvaneError(NoAnswerText);
    return ModelFromProbeAnswer(*answer);
}

void DeviceProcedures::tell(const QString& text, const QString& caption, MessageIcon icon) {
    qCDebug(procedureLog).noquote()
        << (icon == MessageIcon::Error ? "error:" : "told:") << caption << "|" << text;
    m_ui.ShowMessage(text, caption, icon);
}

bool DeviceProcedures::EnsureIdentified() {
    if (m_config.DeviceModel != text::ModelUnknown)
        return true;
    BusyScope busy(*this);
    m_config.DeviceModel = IdentifyDevice();
    qCDebug(procedureLog).noquote() << "identified as model" << m_config.DeviceModel;
    if (m_config.DeviceModel != text::ModelUnknown) {
        m_ui.ShowModel(m_config.DeviceModel);
        return true;
    }
    tell(QStringLiteral("Korvane的版本信息不正确！"), text::CaptionOrlendis, MessageIcon::Error);
    return false;
}

void DeviceProcedures::OpenPortIfClosed() {
    SerialPort& port = m_transport.Comm();
    if (!port.IsOpen()) {
        try {
            port.OpenPort();
        } catch (...) {
            m_ui.ShowPortLabel(QStringLiteral("断开"));
            throw;
        }
    }
    m_ui.ShowPortLabel(port.IsOpen() ? m_transport.PortDescription() : QStringLiteral("断开"));
}

void DeviceProcedures::ShowSummary() {
    m_ui.ShowTrunkSummary(TrunkSummary(m_config));
}

bool DeviceProcedures::ReadDevice() {
    BusyScope busy(*this);
    OpenPortIfClosed();
    if (!EnsureIdentified())
        return false;
    m_config.SetRefreshed(true);
    m_config.Ports.clear();
    m_ui.PortTableChanged();
    for (std::uint8_t code :
         {command::ReadAddress, command::ReadSerialNumber, command::ReadPortParams,
          command::ReadGps, command::ReadTrunkAttributes, command::ReadTrunkDelay}) {
        if (!ReadStep(code))
            return false;
    }
    return true;
}

bool DeviceProcedures::ReadStep(std::uint8_t code) {
    qCDebug(procedureLog) << "read step" << Qt::hex << Qt::showbase << code;
    const auto answer = Transact(ReadRequest(code));
    const ReadResponse r = answer
                               ? CheckReadResponse(code, m_config.DeviceModel, std::span(*answer))
                               : CheckReadResponse(code, m_config.DeviceModel, std::nullopt);
    if (!r.IsOk()) {
        tell(r.Error->Text, r.Error->Caption, MessageIcon::Error);
        return false;
    }
    const ByteBuffer& f = r.Frame;
    switch (code) {
    case command::ReadAddress:
        m_config.Info.Address = DecodeReadAddress(f).value();
        m_ui.ShowAddress(QString::number(m_config.Info.Address), AnswerHex(f));
        break;
    case command::ReadSerialNumber:
        m_config.Info.SerialNumber = DecodeReadSerialNumber(f).value();
        m_ui.ShowSerialNumber(QString::number(m_config.Info.SerialNumber), AnswerHex(f));
        break;
    case command::ReadPortParams:
        m_config.Ports = DecodeReadPortParams(f, m_config.DeviceModel).value();
        m_ui.PortTableChanged();
        break;
    case command::ReadGps:
        m_config.Gps = DecodeReadGps(f).value();
        ShowSummary();
        break;
    case command::ReadTrunkAttributes:
        m_config.Trunk = DecodeReadTrunkAttributes(f, m_config.Trunk).value();
        ShowSummary();
        break;
    case command::ReadTrunkDelay:
        m_config.Trunk = DecodeReadTrunkDelay(f, m_config.DeviceModel, m_config.Trunk).value();
        ShowSummary();
        break;
    default:
        break;
    }
    return true;
}

} // namespace korvane
