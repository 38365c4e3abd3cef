// SPDX-License-Identifier: MIT
#include "files/Cp936Runs.h"

#include <windows.h>

namespace korvane {

namespace {

constexpr UINT CodePage = 936;

} // namespace

QString decodeCp936Run(QByteArrayView bytes) {
    if (bytes.isEmpty())
        return {};
    // Files are at most a few MiB, far below the int range the API takes.
    const int size = int(bytes.size());
    const int length = MultiByteToWideChar(CodePage, 0, bytes.data(), size, nullptr, 0);
    QString text(length, Qt::Uninitialized);
    MultiByteToWideChar(CodePage, 0, bytes.data(), size, reinterpret_cast<wchar_t*>(text.data()),
                        length);
    return text;
}

QByteArray encodeCp936Run(QStringView text) {
    if (text.isEmpty())
        return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int size = int(text.size());
    const int length = WideCharToMultiByte(CodePage, 0, wide, size, nullptr, 0, "?", nullptr);
    QByteArray bytes(length, Qt::Uninitialized);
    WideCharToMultiByte(CodePage, 0, wide, size, bytes.data(), length, "?", nullptr);
    return bytes;
}

} // namespace korvane
