// SPDX-License-Identifier: MIT
#include "files/FileStamp.h"

#include <windows.h>

#include <QDir>

#include <system_error>

namespace korvane {

namespace {

std::int64_t ticks(const FILETIME& t) {
    return std::int64_t(std::uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime);
}

std::int64_t ticks(const LARGE_INTEGER& t) {
    return t.QuadPart;
}

} // namespace

// FILETIME counts 100 ns ticks.
const std::int64_t FileClockPerSecond = 10'000'000;

FileStampReading readFileStamp(const QString& fileName) {
    FileStampReading reading;
    const QString path = QDir::toNativeSeparators(fileName);
    const HANDLE handle =
        ::CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), FILE_READ_ATTRIBUTES,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
            reading.state = FileStampReading::Failed;
            reading.error = QString::fromStdString(std::system_category().message(int(error)));
        }
        return reading;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    const bool ok = ::GetFileInformationByHandle(handle, &info) &&
                    ::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic);
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    if (!ok) {
        reading.state = FileStampReading::Failed;
        reading.error = QString::fromStdString(std::system_category().message(int(error)));
        return reading;
    }
    reading.state = FileStampReading::Present;
    reading.stamp.device = info.dwVolumeSerialNumber;
    reading.stamp.file = std::uint64_t(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    reading.stamp.size = std::int64_t(std::uint64_t(info.nFileSizeHigh) << 32 | info.nFileSizeLow);
    reading.stamp.modified = ticks(info.ftLastWriteTime);
    reading.stamp.changed = ticks(basic.ChangeTime);
    return reading;
}

std::int64_t fileClockNow() {
    FILETIME now{};
    ::GetSystemTimePreciseAsFileTime(&now);
    return ticks(now);
}

} // namespace korvane
