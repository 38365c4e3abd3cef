// SPDX-License-Identifier: MIT
#pragma once
// The serial port's name and line settings as one value: what the port keys of
// KORVANE.INI hold, what the port settings dialog edits and what a session opens its
// port with.

#include "link/SerialPort.h"

#include <QString>
#include <QStringList>

#include <cstdint>

namespace korvane {

class IniFile;

struct PortSettings {
    QString commName = QStringLiteral("COM1");
    std::uint32_t baudRate = 9600;
    DataBits byteSize = DataBits::_8;
    ParityMode parity = ParityMode::None;
    StopBitsMode stopBits = StopBitsMode::_1;

    // The keys of section "Setting"; a missing key, a value that is not a number, or a
    // line setting out of its range, gives the default. baudRate is taken as the file
    // has it (a negative one wraps). What is wrong with a value is added to problems
    // ("Parity=9 不在0至4之间"), BaudRate outside 1 to 4000000 included.
    static PortSettings readFrom(const IniFile& settings, QStringList* problems = nullptr);
    // commName, baudRate, byteSize, Parity and stopBits, in this order. Throws
    // KorvaneError when the file cannot be written.
    void writeTo(IniFile& settings) const;

    static PortSettings of(const SerialPort& port);
    // Sets the port's name and line settings; an open port keeps them until reopened.
    void applyTo(SerialPort& port) const;

    bool operator==(const PortSettings&) const = default;
};

// What a settings file (KORVANE.INI, section "Setting") holds for a session.
struct SessionSettings {
    PortSettings port;
    bool portNamed = false; // commName is there and not empty
    QString channelFile;
    bool debug = false;
    // What is wrong with the line settings' values, one text each, in the keys' order;
    // the values above are the defaults then (the window goes on with them).
    QStringList problems;

    // A missing or unreadable file gives the defaults.
    static SessionSettings readFrom(const IniFile& settings);
    static SessionSettings readFile(const QString& path);
};

} // namespace korvane
