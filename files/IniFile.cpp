// SPDX-License-Identifier: MIT
#include "files/IniFile.h"

#include "config/KorvaneError.h"
#include "files/Cp936.h"
#include "files/FileHelpers.h"
#include "files/FileStamp.h"

#include <QFile>
#include <QHashFunctions>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace korvane {

namespace {

const QByteArray NewLine = QByteArrayLiteral("\r\n");

// One line of the file as byte offsets: [begin, contentEnd) is its text, up to end
// come its CR LF (or LF).
struct Line {
    qsizetype begin = 0;
    qsizetype contentEnd = 0;
    qsizetype end = 0;
    enum Kind { Other, Blank, Section, Key } kind = Other;
    QString name; // section or key name
    QString value;
};

bool isQuoted(const QString& value) {
    return value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
           value.back() == value.front();
}

QString unquoted(QString value) {
    return isQuoted(value) ? value.mid(1, value.size() - 2) : value;
}

// A read drops blanks around a value and one pair of quotes: a value that has either
// is written in quotes, so that it reads back as it was given.
QString asStored(const QString& value) {
    if (isQuoted(value) ||
        (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace())))
        return u'"' + value + u'"';
    return value;
}

Line classify(const QByteArray& bytes, qsizetype begin, qsizetype end) {
    Line line;
    line.begin = begin;
    line.contentEnd = end;
    line.end = end;
    if (line.contentEnd > begin && bytes.at(line.contentEnd - 1) == '\n')
        --line.contentEnd;
    if (line.contentEnd > begin && bytes.at(line.contentEnd - 1) == '\r')
        --line.contentEnd;
    const QString text =
        fromCp936(QByteArrayView(bytes).sliced(begin, line.contentEnd - begin)).trimmed();
    if (text.isEmpty()) {
        line.kind = Line::Blank;
    } else if (text.startsWith(u'[')) {
        line.kind = Line::Section;
        const qsizetype close = text.indexOf(u']');
        line.name = text.mid(1, close < 0 ? -1 : close - 1).trimmed();
    } else if (!text.startsWith(u';') && text.contains(u'=')) {
        const qsizetype eq = text.indexOf(u'=');
        line.kind = Line::Key;
        line.name = text.left(eq).trimmed();
        line.value = unquoted(text.mid(eq + 1).trimmed());
    }
    return line;
}

// Where the line starting at begin ends, its line end included.
qsizetype lineEnd(const QByteArray& bytes, qsizetype begin) {
    const qsizetype lf = bytes.indexOf('\n', begin);
    return lf < 0 ? bytes.size() : lf + 1;
}

bool same(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Sections and keys are found by the hash of their case-folded name; a key's hash also
// covers its section's header, so that each key is found within its own section.
quint64 nameHash(const QString& name, quint64 headerPosition) {
    return qHash(name.toCaseFolded(), size_t(headerPosition));
}
constexpr quint64 SectionSeed = 0;
quint64 keySeed(qsizetype header) {
    return quint64(header) * 2 + 1;
}

// A section header or key line; the fields are 32-bit, the file being far smaller.
struct Entry {
    quint32 hashLow;
    quint32 hashHigh;
    quint32 line;    // where the line begins
    quint32 section; // where its section's header begins (a header: itself)

    quint64 hash() const { return quint64(hashHigh) << 32 | hashLow; }
};

} // namespace

struct IniFile::Profile {
    enum State { Missing, Read, Unreadable } state = Missing;
    FileStamp stamp;            // of a read file
    bool settled = false;       // any later change shows in the stamp
    QString error;              // why an unreadable file could not be read
    QByteArray bytes;           // of a read file
    std::vector<Entry> entries; // ordered by hash, then by line

    explicit Profile(State s = Missing, QString why = QString())
        : state(s), error(std::move(why)) {}

    Profile(QByteArray content, const FileStamp& fileStamp)
        : state(Read), stamp(fileStamp), bytes(std::move(content)) {
        // Only lines with '=' or '[' can be keys or headers: reserve just enough.
        qsizetype candidates = 0;
        bool marked = false;
        for (const char c : std::as_const(bytes)) {
            if (c == '\n') {
                marked = false;
            } else if ((c == '=' || c == '[') && !marked) {
                marked = true;
                ++candidates;
            }
        }
        entries.reserve(std::size_t(candidates));
        qsizetype header = -1;
        for (qsizetype begin = 0; begin < bytes.size();) {
            const qsizetype end = lineEnd(bytes, begin);
            const Line line = classify(bytes, begin, end);
            if (line.kind == Line::Section) {
                header = begin;
                add(nameHash(line.name, SectionSeed), begin, begin);
            } else if (line.kind == Line::Key && header >= 0) {
                add(nameHash(line.name, keySeed(header)), begin, header);
            }
            begin = end;
        }
        std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
            return a.hash() != b.hash() ? a.hash() < b.hash() : a.line < b.line;
        });
    }

    void add(quint64 hash, qsizetype line, qsizetype section) {
        entries.push_back({quint32(hash), quint32(hash >> 32), quint32(line), quint32(section)});
    }

    Line lineAt(qsizetype begin) const { return classify(bytes, begin, lineEnd(bytes, begin)); }

    // The first line of the kind and name with the hash (within section for a key).
    std::optional<qsizetype> find(quint64 hash, Line::Kind kind, const QString& name,
                                  qsizetype section) const {
        auto it = std::lower_bound(entries.begin(), entries.end(), hash,
                                   [](const Entry& e, quint64 h) { return e.hash() < h; });
        for (; it != entries.end() && it->hash() == hash; ++it) {
            if (kind == Line::Key && qsizetype(it->section) != section)
                continue;
            const Line line = lineAt(it->line);
            if (line.kind == kind && same(line.name, name))
                return qsizetype(it->line);
        }
        return std::nullopt;
    }

    // Where the section's header line begins.
    std::optional<qsizetype> findSection(const QString& section) const {
        return find(nameHash(section, SectionSeed), Line::Section, section, -1);
    }

    // Where the key's line in the section begins.
    std::optional<qsizetype> findKey(qsizetype header, const QString& key) const {
        return find(nameHash(key, keySeed(header)), Line::Key, key, header);
    }
};

namespace {

// Names that would read back as something else, or break the line structure.
void checkName(const QString& name, bool isKey) {
    const QString t = name.trimmed();
    const bool bad =
        t.isEmpty() || name.contains(u'\r') || name.contains(u'\n') ||
        (isKey ? t.contains(u'=') || t.startsWith(u';') || t.startsWith(u'[') : t.contains(u']'));
    if (bad)
        throw KorvaneError(QStringLiteral("设置文件的%1“%2”无效")
                               .arg(isKey ? QStringLiteral("键名") : QStringLiteral("节名"), name));
}

bool isDigitOf(QChar c, int base) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return true;
    return base == 16 && ((u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F'));
}

} // namespace

IniFile::IniFile(QString fileName) : m_fileName(std::move(fileName)) {}
IniFile::~IniFile() = default;
IniFile::IniFile(IniFile&&) noexcept = default;
IniFile& IniFile::operator=(IniFile&&) noexcept = default;

const IniFile::Profile& IniFile::current() const {
    const FileStampReading reading = readFileStamp(m_fileName);
    if (reading.state != FileStampReading::Present) {
        m_profile = reading.state == FileStampReading::Missing
                        ? std::make_unique<Profile>()
                        : std::make_unique<Profile>(Profile::Unreadable, reading.error);
        return *m_profile;
    }
    const FileStamp& stamp = reading.stamp;
    if (m_profile && m_profile->state == Profile::Read && m_profile->stamp == stamp &&
        m_profile->settled)
        return *m_profile;
    // File times move in steps of some milliseconds: a change right after the one we
    // read could keep the same stamp. Only a file that was older than a second when it
    // was read is trusted to be unchanged while its stamp is.
    const std::int64_t settledBefore = fileClockNow() - FileClockPerSecond;
    const bool settled = stamp.modified < settledBefore && stamp.changed < settledBefore;
    QString error;
    std::optional<QByteArray> bytes = readFileBytes(m_fileName, &error, MaxSettingsFileSize);
    if (bytes) {
        m_profile = std::make_unique<Profile>(std::move(*bytes), stamp);
        m_profile->settled = settled;
    } else {
        m_profile = std::make_unique<Profile>(Profile::Unreadable, error);
    }
    return *m_profile;
}

QString IniFile::readString(const QString& section, const QString& key,
                            const QString& fallback) const {
    return lookup(current(), section, key, fallback);
}

QString IniFile::lookup(const Profile& profile, const QString& section, const QString& key,
                        const QString& fallback) {
    if (const auto header = profile.findSection(section)) {
        if (const auto line = profile.findKey(*header, key))
            return profile.lineAt(*line).value;
    }
    return fallback;
}

QString IniFile::stringIn(const QByteArray& bytes, const QString& section, const QString& key,
                          const QString& fallback) {
    return lookup(Profile(bytes, FileStamp()), section, key, fallback);
}

int IniFile::readInteger(const QString& section, const QString& key, int fallback) const {
    return profileInteger(readString(section, key, QString()), fallback);
}

bool IniFile::readBool(const QString& section, const QString& key, bool fallback) const {
    return readInteger(section, key, fallback ? 1 : 0) != 0;
}

namespace {

void checkValue(const QString& key, const QString& value) {
    if (value.contains(u'\r') || value.contains(u'\n'))
        throw KorvaneError(QStringLiteral("设置文件的值不能含有换行符（键“%1”）").arg(key));
}

} // namespace

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    checkName(section, false);
    checkName(key, true);
    checkValue(key, value);

    const Profile& profile = current();
    // A new file built from nothing would wipe whatever the file holds.
    if (profile.state == Profile::Unreadable)
        throw KorvaneError(QStringLiteral("无法读取设置文件“%1”：%2。为保留其内容，设置未写入。")
                               .arg(m_fileName, profile.error));
    saveFileAtomically(m_fileName, written(profile, section, key, value));
    m_profile.reset();
}

QByteArray IniFile::withString(const QByteArray& bytes, const QString& section, const QString& key,
                               const QString& value) {
    checkName(section, false);
    checkName(key, true);
    checkValue(key, value);
    return written(Profile(bytes, FileStamp()), section, key, value);
}

QByteArray IniFile::written(const Profile& profile, const QString& section, const QString& key,
                            const QString& value) {
    const QByteArray& bytes = profile.bytes;
    QByteArray out = bytes;
    const QString stored = asStored(value);
    const QByteArray keyLine = toCp936(QString(key + u'=' + stored));
    // A last line without its line end gets one before anything is added after it.
    const auto insertLines = [&](qsizetype at, QByteArray text) {
        if (at > 0 && out.at(at - 1) != '\n')
            text.prepend(NewLine);
        out.insert(at, text);
    };

    if (const auto header = profile.findSection(section)) {
        if (const auto begin = profile.findKey(*header, key)) {
            // Keep the key as the file spells it; '=' never occurs inside a code page
            // 936 character, so the first '=' byte is the separator.
            const Line line = profile.lineAt(*begin);
            const qsizetype eq = out.indexOf('=', line.begin);
            out.replace(eq + 1, line.contentEnd - eq - 1, toCp936(stored));
        } else {
            // After the section's last line that is not blank.
            qsizetype at = lineEnd(bytes, *header);
            for (qsizetype i = at; i < bytes.size();) {
                const Line line = profile.lineAt(i);
                if (line.kind == Line::Section)
                    break;
                if (line.kind != Line::Blank)
                    at = line.end;
                i = line.end;
            }
            insertLines(at, keyLine + NewLine);
        }
    } else {
        QByteArray text;
        if (!bytes.isEmpty()) {
            const qsizetype lastBegin =
                bytes.size() < 2 ? 0 : bytes.lastIndexOf('\n', bytes.size() - 2) + 1;
            if (profile.lineAt(lastBegin).kind != Line::Blank)
                text += NewLine;
        }
        text += toCp936(QString(u'[' + section + u']')) + NewLine + keyLine + NewLine;
        insertLines(out.size(), text);
    }
    return out;
}

void IniFile::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value) {
    writeInteger(section, key, value ? 1 : 0);
}

std::optional<int> profileIntegerValue(const QString& text) {
    QStringView digits = QStringView(text).trimmed();
    bool negative = false;
    if (!digits.isEmpty() && (digits.front() == u'-' || digits.front() == u'+')) {
        negative = digits.front() == u'-';
        digits = digits.sliced(1);
    }
    int base = 10;
    if (digits.startsWith(u'$')) {
        base = 16;
        digits = digits.sliced(1);
    } else if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        digits = digits.sliced(2);
    }
    const bool allDigits =
        !digits.isEmpty() &&
        std::all_of(digits.begin(), digits.end(), [&](QChar c) { return isDigitOf(c, base); });
    bool ok = false;
    const qulonglong magnitude = allDigits ? digits.toULongLong(&ok, base) : 0;
    if (!ok)
        return std::nullopt;
    if (base == 16) {
        // Up to eight digits, read as the 32-bit pattern, as the Windows tools do.
        if (magnitude > 0xFFFFFFFFull)
            return std::nullopt;
        const auto pattern = static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
        return negative ? static_cast<int>(0u - static_cast<std::uint32_t>(pattern)) : pattern;
    }
    const qlonglong limit = negative ? -qlonglong(std::numeric_limits<int>::min())
                                     : qlonglong(std::numeric_limits<int>::max());
    if (magnitude > qulonglong(limit))
        return std::nullopt;
    return static_cast<int>(negative ? -qlonglong(magnitude) : qlonglong(magnitude));
}

int profileInteger(const QString& text, int fallback) {
    return profileIntegerValue(text).value_or(fallback);
}

} // namespace korvane
