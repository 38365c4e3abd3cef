// SPDX-License-Identifier: MIT
#pragma once
// Code page 936 (GBK), the encoding of every text file the tool reads and writes.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace korvane {

// A lead byte (0x81-0xFE) without its trail byte, at the end or before a byte that
// cannot follow it, decodes to the private-use character LoneLeadBase + byte; the byte
// 0xFF decodes to U+F8F5. Both encode back to their byte, so that text read and
// written again keeps its bytes. Other bytes the code page has no character for
// decode to U+FFFD.
inline constexpr char16_t LoneLeadBase = 0xF700;
QString fromCp936(QByteArrayView bytes);
// Characters that code page 936 cannot hold become '?'.
QByteArray toCp936(QStringView text);

} // namespace korvane
