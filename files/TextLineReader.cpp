#include "files/TextLineReader.h"

#include <utility>

namespace korvane {

namespace {
constexpr char Cr = '\r';
constexpr char Lf = '\n';
} // namespace

TextLineReader::TextLineReader(QByteArray bytes) : m_bytes(std::move(bytes)) {}

bool TextLineReader::AtEnd() const {
    return !HasByte() || Peek() == EndOfFileMark;
}

QByteArray TextLineReader::ReadLine() {
    const qsizetype start = m_pos;
    while (HasByte()) {
        const char c = Peek();
        if (c == EndOfFileMark) {
            m_ended = true;
            return m_bytes.mid(start, m_pos - start);
        }
        if (c == Cr) {
            QByteArray line = m_bytes.mid(start, m_pos - start);
            ++m_pos;
            SkipLineEnd();
            return line;
        }
        ++m_pos;
    }
    return m_bytes.mid(start, m_pos - start);
}

void TextLineReader::SkipLines(int count) {
    for (int i = 0; i < count && !AtEnd(); ++i)
        ReadLine();
}

std::uint8_t TextLineReader::ReadByteLine() {
    if (!HasByte()) {
        m_ended = true;
        return std::uint8_t(EndOfFileMark);
    }
    const char value = Peek();
    ++m_pos;
    // A CR here is either the byte 13 followed by its own line end (CR CR LF) or an
    // empty line; only in the second case does it end the line itself.
    if (value == Cr && !(HasByte() && Peek() == Cr))
        SkipLineEnd();
    else
        ReadLine();
    return std::uint8_t(value);
}

void TextLineReader::SkipLineEnd() {
    if (HasByte() && Peek() == Lf)
        ++m_pos;
}

} // namespace korvane
