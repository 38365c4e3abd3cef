// SPDX-License-Identifier: MIT
#include "files/Cp936.h"

#include "files/Cp936Runs.h"

#include <algorithm>
#include <cstdint>

namespace korvane {

namespace {

bool isLead(std::uint8_t b) {
    return b >= 0x81 && b <= 0xFE;
}

bool isTrail(std::uint8_t b) {
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

bool isLoneLeadChar(QChar c) {
    return c.unicode() >= LoneLeadBase + 0x81 && c.unicode() <= LoneLeadBase + 0xFE;
}

} // namespace

QString fromCp936(QByteArrayView bytes) {
    // Most lines are ASCII, which code page 936 leaves as it is.
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return std::uint8_t(c) < 0x80; }))
        return QString::fromLatin1(bytes);
    QString text;
    // Runs between lone lead bytes end on whole characters.
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < bytes.size();) {
        const auto b = std::uint8_t(bytes[i]);
        if (!isLead(b)) {
            ++i;
        } else if (i + 1 < bytes.size() && isTrail(std::uint8_t(bytes[i + 1]))) {
            i += 2;
        } else {
            text += decodeCp936Run(bytes.sliced(runStart, i - runStart));
            text += QChar(char16_t(LoneLeadBase + b));
            runStart = ++i;
        }
    }
    if (runStart == 0)
        return decodeCp936Run(bytes);
    text += decodeCp936Run(bytes.sliced(runStart));
    return text;
}

QByteArray toCp936(QStringView text) {
    QByteArray out;
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isLoneLeadChar(text[i])) {
            out += encodeCp936Run(text.sliced(runStart, i - runStart));
            out += char(text[i].unicode() - LoneLeadBase);
            runStart = i + 1;
        }
    }
    if (runStart == 0)
        return encodeCp936Run(text);
    out += encodeCp936Run(text.sliced(runStart));
    return out;
}

} // namespace korvane
