// SPDX-License-Identifier: MIT
#pragma once
// The timing schedule file and the table the device receives from it. The file has
// three header lines, then one entry per line in slot order: a channel counted from 0,
// in decimal. The table sent holds per slot a port index counted from 0, 255 for no
// port, or 200-254 passed through; 64 slots travel in each WriteScheduleBlock command.

#include "config/DeviceConfiguration.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace korvane {

using ScheduleTable = std::vector<std::uint8_t>;

inline constexpr int ScheduleHeaderLines = 3;
inline constexpr int ScheduleBlockEntries = 64;
// The block number is one byte.
inline constexpr qsizetype MaxScheduleEntries = 256 * ScheduleBlockEntries;

// The channel file's path ending in ".sch" when that names an existing file, else
// "SchedulingFile.dat" as a relative path: the file in the current directory (whether
// it exists or not).
QString scheduleFilePath(const QString& channelFileName);

// One entry per line after the header: the line's decimal value, low 8 bits; a line
// that is not a number (an empty one too) gives 255.
ScheduleTable parseScheduleEntries(const QByteArray& bytes, bool skipHeader = true);

// Replaces channels by ports: the first row in display order whose channel (counted
// from 1) matches an entry takes it, a row whose port is outside 1-24 as no port (255);
// then 100-199 become ports 0-99, 0-99 become 255, 200-255 stay. Throws KorvaneError("'<text>' is
// not a valid integer value") for a row whose PortNumber is not an integer.
void convertScheduleTable(ScheduleTable& table, const PortTable& ports);

// Reads and converts the file; nothing when the file cannot be read, with the message
// to show (scheduleFileMissingMessage, for any failure to open or read) in *refusal
// and the system's reason or the file's size in *reason.
std::optional<ScheduleTable> buildScheduleTable(const QString& path, const PortTable& ports,
                                                QString* refusal = nullptr,
                                                QString* reason = nullptr);

// The message when the file cannot be read, shown with ScheduleFileErrorCaption.
QString scheduleFileMissingMessage(const QString& fileName);
inline const QString ScheduleFileErrorCaption = QStringLiteral("文件错误");

// The refusal of a table the block numbers cannot cover; nothing when it fits.
std::optional<QString> scheduleSizeRefusal(qsizetype entries);

int scheduleBlockCount(qsizetype entries);

} // namespace korvane
