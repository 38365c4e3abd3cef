// SPDX-License-Identifier: MIT
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
    s.commName = settings.readString(Section, QStringLiteral("CommName"), s.commName);
    s.baudRate = static_cast<std::uint32_t>(
        settings.readInteger(Section, QStringLiteral("BaudRate"), int(s.baudRate)));
    s.byteSize =
        enumSetting(settings.readInteger(Section, QStringLiteral("ByteSize"), 3), 4, s.byteSize);
    s.parity = enumSetting(settings.readInteger(Section, QStringLiteral("Parity"), 0), 5, s.parity);
    s.stopBits =
        enumSetting(settings.readInteger(Section, QStringLiteral("StopBits"), 0), 3, s.stopBits);
    return s;
}

SessionSettings SessionSettings::readFrom(const IniFile& settings) {
    SessionSettings s;
    s.port = PortSettings::readFrom(settings);
    s.portNamed = !settings.readString(Section, QStringLiteral("CommName"), {}).isEmpty();
    s.channelFile = settings.readString(Section, QStringLiteral("ChannelFile"), {});
    s.debug = settings.readBool(Section, QStringLiteral("debug"), false);
    return s;
}

SessionSettings SessionSettings::readFile(const QString& path) {
    return readFrom(IniFile(path));
}

void PortSettings::writeTo(IniFile& settings) const {
    settings.writeString(Section, QStringLiteral("CommName"), commName);
    settings.writeInteger(Section, QStringLiteral("BaudRate"), static_cast<int>(baudRate));
    settings.writeInteger(Section, QStringLiteral("ByteSize"), static_cast<int>(byteSize));
    settings.writeInteger(Section, QStringLiteral("Parity"), static_cast<int>(parity));
    settings.writeInteger(Section, QStringLiteral("StopBits"), static_cast<int>(stopBits));
}

PortSettings PortSettings::of(const SerialPort& port) {
    return {port.commName(), port.baudRate(), port.byteSize(), port.parity(), port.stopBits()};
}

void PortSettings::applyTo(SerialPort& port) const {
    port.setCommName(commName);
    port.setBaudRate(baudRate);
    port.setByteSize(byteSize);
    port.setParity(parity);
    port.setStopBits(stopBits);
}

} // namespace korvane
