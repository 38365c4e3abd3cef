// SPDX-License-Identifier: MIT
#pragma once
// Reads the tool's text files line by line from their bytes. A line ends at a CR and
// one LF right after the CR is skipped; a lone LF is an ordinary character; a byte 26
// (Ctrl-Z) ends the file. Lines come back raw; callers decode them (code page 936).

#include <QByteArray>

#include <cstdint>

namespace korvane {

class TextLineReader {
public:
    static constexpr char EndOfFileMark = 26;

    explicit TextLineReader(QByteArray bytes);

    // True when no line is left: the bytes are used up or the next byte is 26.
    bool atEnd() const;

    // The next line without its line end; empty at the end of the file.
    QByteArray readLine();

    // Skips up to count lines, stopping early at the end of the file.
    void skipLines(int count);

    // Reads one raw byte, whatever its value (13 and 26 included), then skips the rest
    // of its line. An empty line (CR LF) gives 13 and is one line. At the end of the
    // file it gives 26 and reads nothing.
    std::uint8_t readByteLine();

private:
    char peek() const { return m_bytes.at(m_pos); }
    bool hasByte() const { return !m_ended && m_pos < m_bytes.size(); }
    void skipLineEnd(); // after a CR: one LF

    QByteArray m_bytes;
    qsizetype m_pos = 0;
    bool m_ended = false; // a byte 26 was met by the line rules
};

} // namespace korvane
