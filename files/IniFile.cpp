#include "files/IniFile.h"

#include "config/KorvaneError.h"
#include "files/Cp936.h"
#include "files/FileHelpers.h"

#include <QList>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>

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

QString Unquoted(QString value) {
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

Line Classify(const QByteArray& bytes, qsizetype begin, qsizetype end) {
    Line line;
    line.begin = begin;
    line.contentEnd = end;
    line.end = end;
    if (line.contentEnd > begin && bytes.at(line.contentEnd - 1) == '\n')
        --line.contentEnd;
    if (line.contentEnd > begin && bytes.at(line.contentEnd - 1) == '\r')
        --line.contentEnd;
    const QString text =
        FromCp936(QByteArrayView(bytes).sliced(begin, line.contentEnd - begin)).trimmed();
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
        line.value = Unquoted(text.mid(eq + 1).trimmed());
    }
    return line;
}

struct Profile {
    QByteArray bytes;
    QList<Line> lines;

    explicit Profile(QByteArray content) : bytes(std::move(content)) {
        qsizetype begin = 0;
        while (begin < bytes.size()) {
            const qsizetype lf = bytes.indexOf('\n', begin);
            const qsizetype end = lf < 0 ? bytes.size() : lf + 1;
            lines.append(Classify(bytes, begin, end));
            begin = end;
        }
    }

    static bool Same(const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) == 0;
    }

    // Index of the section's header line.
    std::optional<qsizetype> FindSection(const QString& section) const {
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines[i].kind == Line::Section && Same(lines[i].name, section))
                return i;
        }
        return std::nullopt;
    }

    // Index of the first line after the section's last line.
    qsizetype SectionEnd(qsizetype header) const {
        qsizetype i = header + 1;
        while (i < lines.size() && lines[i].kind != Line::Section)
            ++i;
        return i;
    }

    std::optional<qsizetype> FindKey(qsizetype header, const QString& key) const {
        const qsizetype end = SectionEnd(header);
        for (qsizetype i = header + 1; i < end; ++i) {
            if (lines[i].kind == Line::Key && Same(lines[i].name, key))
                return i;
        }
        return std::nullopt;
    }
};

Profile Load(const QString& fileName) {
    return Profile(ReadFileBytes(fileName).value_or(QByteArray()));
}

// Names that would read back as something else, or break the line structure.
void CheckName(const QString& name, bool isKey) {
    const QString t = name.trimmed();
    const bool bad =
        t.isEmpty() || name.contains(u'\r') || name.contains(u'\n') ||
        (isKey ? t.contains(u'=') || t.startsWith(u';') || t.startsWith(u'[') : t.contains(u']'));
    if (bad)
        throw KorvaneError(QStringLiteral("设置文件的%1“%2”无效")
                               .arg(isKey ? QStringLiteral("键名") : QStringLiteral("节名"), name));
}

bool IsDigitOf(QChar c, int base) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return true;
    return base == 16 && ((u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F'));
}

} // namespace

IniFile::IniFile(QString fileName) : m_fileName(std::move(fileName)) {}

QString IniFile::ReadString(const QString& section, const QString& key,
                            const QString& fallback) const {
    const Profile profile = Load(m_fileName);
    if (const auto header = profile.FindSection(section)) {
        if (const auto line = profile.FindKey(*header, key))
            return profile.lines[*line].value;
    }
    return fallback;
}

int IniFile::ReadInteger(const QString& section, const QString& key, int fallback) const {
    return ProfileInteger(ReadString(section, key, QString()), fallback);
}

bool IniFile::ReadBool(const QString& section, const QString& key, bool fallback) const {
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

void IniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    CheckName(section, false);
    CheckName(key, true);
    if (value.contains(u'\r') || value.contains(u'\n'))
        throw KorvaneError(QStringLiteral("设置文件的值不能含有换行符（键“%1”）").arg(key));

    const Profile profile = Load(m_fileName);
    QByteArray out = profile.bytes;
    const QByteArray keyLine = ToCp936(QString(key + u'=' + value));
    // A last line without its line end gets one before anything is added after it.
    const auto insertLines = [&](qsizetype at, QByteArray text) {
        if (at > 0 && out.at(at - 1) != '\n')
            text.prepend(NewLine);
        out.insert(at, text);
    };

    if (const auto header = profile.FindSection(section)) {
        if (const auto index = profile.FindKey(*header, key)) {
            // Keep the key as the file spells it; '=' never occurs inside a code page
            // 936 character, so the first '=' byte is the separator.
            const Line& line = profile.lines[*index];
            const qsizetype eq = out.indexOf('=', line.begin);
            out.replace(eq + 1, line.contentEnd - eq - 1, ToCp936(value));
        } else {
            qsizetype last = *header;
            const qsizetype end = profile.SectionEnd(*header);
            for (qsizetype i = *header + 1; i < end; ++i) {
                if (profile.lines[i].kind != Line::Blank)
                    last = i;
            }
            insertLines(profile.lines[last].end, keyLine + NewLine);
        }
    } else {
        QByteArray text;
        if (!profile.lines.isEmpty() && profile.lines.back().kind != Line::Blank)
            text += NewLine;
        text += ToCp936(QString(u'[' + section + u']')) + NewLine + keyLine + NewLine;
        insertLines(out.size(), text);
    }
    SaveFileAtomically(m_fileName, out);
}

void IniFile::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void IniFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteInteger(section, key, value ? 1 : 0);
}

int ProfileInteger(const QString& text, int fallback) {
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
        std::all_of(digits.begin(), digits.end(), [&](QChar c) { return IsDigitOf(c, base); });
    bool ok = false;
    const qulonglong magnitude = allDigits ? digits.toULongLong(&ok, base) : 0;
    if (!ok)
        return fallback;
    if (base == 16) {
        // Up to eight digits, read as the 32-bit pattern, as the Windows tools do.
        if (magnitude > 0xFFFFFFFFull)
            return fallback;
        const auto pattern = static_cast<std::int32_t>(static_cast<std::uint32_t>(magnitude));
        return negative ? static_cast<int>(0u - static_cast<std::uint32_t>(pattern)) : pattern;
    }
    const qlonglong limit = negative ? -qlonglong(std::numeric_limits<int>::min())
                                     : qlonglong(std::numeric_limits<int>::max());
    if (magnitude > qulonglong(limit))
        return fallback;
    return static_cast<int>(negative ? -qlonglong(magnitude) : qlonglong(magnitude));
}

} // namespace korvane
