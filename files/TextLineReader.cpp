// SPDX-License-Identifier: MIT
#include "files/TextLineReader.h"

#include <utility>

namespace korvane {

namespace {
constexpr char Cr = '\r';
constexpr char Lf = '\n';
} // namespace

TextLineReader::TextLineReader(QByteArray bytes) : m_bytes(std::move(bytes)) {}

bool TextLineReader::atEnd() const {
    return !hasByte() || peek() == EndOfFileMark;
}

QByteArray TextLineReader::readLine() {
    const qsizetype start = m_pos;
    while (hasByte()) {
        const char c = peek();
        if (c == EndOfFileMark) {
            m_ended = true;
            return m_bytes.mid(start, m_pos - start);
        }
        if (c == Cr) {
            QByteArray line = m_bytes.mid(start, m_pos - start);
            ++m_pos;
            skipLineEnd();
            return line;
        }
        ++m_pos;
    }
    return m_bytes.mid(start, m_pos - start);
}

void TextLineReader::skipLines(int count) {
    for (int i = 0; i < count && !atEnd(); ++i)
        readLine();
}

std::uint8_t TextLineReader::readByteLine() {
    if (!hasByte()) {
        m_ended = true;
        return std::uint8_t(EndOfFileMark);
    }
    const char value = peek();
    ++m_pos;
    // A CR here is either the byte 13 followed by its own line end (CR CR LF) or an
    // empty line; only in the second case does it end the line itself.
    if (value == Cr && !(hasByte() && peek() == Cr))
        skipLineEnd();
    else
        readLine();
    return std::uint8_t(value);
}

void TextLineReader::skipLineEnd() {
    if (hasByte() && peek() == Lf)
        ++m_pos;
}

} // namespace korvane
