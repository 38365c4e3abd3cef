// SPDX-License-Identifier: MIT
#include "session/PortSettings.h"

#include "files/IniFile.h"

#include <optional>

namespace korvane {

namespace {

const QString Section = QStringLiteral("Setting");

constexpr int MaxBaudRate = 4000000;

// An integer key's value by the file's integer rule: nothing when the key is missing
// or not a number. What is wrong with the value, if anything, goes to problems.
std::optional<int> lineSetting(const IniFile& settings, const char* name, int low, int high,
                               QStringList* problems) {
    const QString key = QLatin1String(name);
    const QString text = settings.readString(Section, key, {});
    if (text.isEmpty())
        return std::nullopt;
    const std::optional<int> value = profileIntegerValue(text);
    if (problems && !value)
        problems->append(QStringLiteral("%1=%2 不是数字").arg(key, text));
    else if (problems && (*value < low || *value > high))
        problems->append(QStringLiteral("%1=%2 不在%3至%4之间").arg(key, text).arg(low).arg(high));
    return value;
}

template <typename E> E enumSetting(std::optional<int> value, int count, E fallback) {
    return value && *value >= 0 && *value < count ? static_cast<E>(*value) : fallback;
}

} // namespace

PortSettings PortSettings::readFrom(const IniFile& settings, QStringList* problems) {
    PortSettings s;
    s.commName = settings.readString(Section, QStringLiteral("CommName"), s.commName);
    s.baudRate = static_cast<std::uint32_t>(
        lineSetting(settings, "BaudRate", 1, MaxBaudRate, problems).value_or(int(s.baudRate)));
    s.byteSize = enumSetting(lineSetting(settings, "ByteSize", 0, 3, problems), 4, s.byteSize);
    s.parity = enumSetting(lineSetting(settings, "Parity", 0, 4, problems), 5, s.parity);
    s.stopBits = enumSetting(lineSetting(settings, "StopBits", 0, 2, problems), 3, s.stopBits);
    return s;
}

SessionSettings SessionSettings::readFrom(const IniFile& settings) {
    SessionSettings s;
    s.port = PortSettings::readFrom(settings, &s.problems);
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
