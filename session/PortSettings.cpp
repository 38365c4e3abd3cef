#include "session/PortSettings.h"

#include "files/IniFile.h"

namespace korvane {

namespace {

const QString Section = QStringLiteral("Setting");

template <typename E> E enumSetting(int value, int count, E fallback) {
    return value >= 0 && value < count ? static_cast<E>(value) : fallback;
}

} // namespace

PortSettings PortSettings::readFrom(const IniFile& settings) {
    PortSettings s;
    s.commName = settings.ReadString(Section, QStringLiteral("CommName"), s.commName);
    s.baudRate = static_cast<std::uint32_t>(
        settings.ReadInteger(Section, QStringLiteral("BaudRate"), int(s.baudRate)));
    s.byteSize =
        enumSetting(settings.ReadInteger(Section, QStringLiteral("ByteSize"), 3), 4, s.byteSize);
    s.parity = enumSetting(settings.ReadInteger(Section, QStringLiteral("Parity"), 0), 5, s.parity);
    s.stopBits =
        enumSetting(settings.ReadInteger(Section, QStringLiteral("StopBits"), 0), 3, s.stopBits);
    return s;
}

SessionSettings SessionSettings::readFrom(const IniFile& settings) {
    SessionSettings s;
    s.port = PortSettings::readFrom(settings);
    s.portNamed = !settings.ReadString(Section, QStringLiteral("CommName"), {}).isEmpty();
    s.channelFile = settings.ReadString(Section, QStringLiteral("ChannelFile"), {});
    s.debug = settings.ReadBool(Section, QStringLiteral("debug"), false);
    return s;
}

SessionSettings SessionSettings::readFile(const QString& path) {
    return readFrom(IniFile(path));
}

void PortSettings::writeTo(IniFile& settings) const {
    settings.WriteString(Section, QStringLiteral("CommName"), commName);
    settings.WriteInteger(Section, QStringLiteral("BaudRate"), static_cast<int>(baudRate));
    settings.WriteInteger(Section, QStringLiteral("ByteSize"), static_cast<int>(byteSize));
    settings.WriteInteger(Section, QStringLiteral("Parity"), static_cast<int>(parity));
    settings.WriteInteger(Section, QStringLiteral("StopBits"), static_cast<int>(stopBits));
}

PortSettings PortSettings::of(const SerialPort& port) {
    return {port.CommName(), port.BaudRate(), port.ByteSize(), port.Parity(), port.StopBits()};
}

void PortSettings::applyTo(SerialPort& port) const {
    port.SetCommName(commName);
    port.SetBaudRate(baudRate);
    port.SetByteSize(byteSize);
    port.SetParity(parity);
    port.SetStopBits(stopBits);
}

} // namespace korvane
