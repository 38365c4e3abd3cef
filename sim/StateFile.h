// SPDX-License-Identifier: MIT
#pragma once
// The simulator's state file: a text file of "key = value" lines that sets any part
// of the device state; keys not given keep their start values.
//
//   # comment (also after a value); empty lines are skipped
//   model   = KORVANEA/B           KORVANE or KORVANEA/B
//   address = 70000                decimal, or hexadecimal with 0x (24 bits)
//   serial  = 0x12345678           decimal, or hexadecimal with 0x (32 bits)
//   ports   = FF FF 3B 0E ...      89 or 161 hex bytes, fitted to the model
//   gps     = 55 AA                2 hex bytes
//   trunk   = 55 AA 55 55 55       5 hex bytes
//   delay   = 55 10 00 00 20 00 00 7 hex bytes
//   block 3 = 00 01 FF ...         64 hex bytes: timing schedule block 3 (0-255)
//
// Hex bytes are pairs of hex digits, spaces between pairs optional. The model line
// is applied before the ports line wherever it stands. A KORVANE port payload given
// to a KORVANEA/B gets zero delays; a KORVANEA/B payload given to a KORVANE loses
// its delays.

#include "sim/DeviceState.h"

#include <QString>

namespace korvane::sim {

// Applies the text to state. On failure returns false, leaves state unchanged and
// sets error to a message naming the line ("line 3: gps needs 2 bytes, got 3").
bool applyStateText(const QString& text, DeviceState& state, QString* error);

// A full state is a few kilobytes; larger files are refused unread.
inline constexpr qint64 MaxStateFileSize = 1024 * 1024;

// Reads the file and applies it as above; the message names the file on failure.
bool loadStateFile(const QString& path, DeviceState& state, QString* error);

// The whole state in the file format, one key per line.
QString stateText(const DeviceState& state);

// Help text describing the format, for --help.
QString stateFileHelp();

} // namespace korvane::sim
