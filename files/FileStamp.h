// SPDX-License-Identifier: MIT
#pragma once
// What identifies one version of a file without reading it: the file itself, its
// size and its two change times. A file whose stamp is unchanged is taken as unchanged.

#include <QString>

#include <cstdint>

namespace korvane {

struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t file = 0; // the file on its device (inode, file index)
    std::int64_t size = 0;
    std::int64_t modified = 0; // content changed, in the system's clock units
    std::int64_t changed = 0;  // content or attributes changed

    bool operator==(const FileStamp&) const = default;
};

struct FileStampReading {
    enum State { Present, Missing, Failed } state = Missing;
    FileStamp stamp;
    QString error; // why a present file could not be looked at
};

FileStampReading readFileStamp(const QString& fileName);
// The wall clock in FileStamp's units, and how many of them make a second.
std::int64_t fileClockNow();
extern const std::int64_t FileClockPerSecond;

} // namespace korvane
