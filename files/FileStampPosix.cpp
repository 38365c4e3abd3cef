// SPDX-License-Identifier: MIT
#include "files/FileStamp.h"

#include <QFile>

#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <cstring>

namespace korvane {

namespace {

std::int64_t nanoseconds(const timespec& t) {
    return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

} // namespace

const std::int64_t FileClockPerSecond = 1'000'000'000;

FileStampReading readFileStamp(const QString& fileName) {
    FileStampReading reading;
    struct stat info {};
    if (::stat(QFile::encodeName(fileName).constData(), &info) != 0) {
        const int error = errno;
        if (error != ENOENT && error != ENOTDIR) {
            reading.state = FileStampReading::Failed;
            reading.error = QString::fromLocal8Bit(std::strerror(error));
        }
        return reading;
    }
    reading.state = FileStampReading::Present;
    reading.stamp.device = info.st_dev;
    reading.stamp.file = info.st_ino;
    reading.stamp.size = info.st_size;
    reading.stamp.modified = nanoseconds(info.st_mtim);
    reading.stamp.changed = nanoseconds(info.st_ctim);
    return reading;
}

std::int64_t fileClockNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return nanoseconds(now);
}

} // namespace korvane
