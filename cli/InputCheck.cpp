// SPDX-License-Identifier: MIT
#include "cli/InputCheck.h"

#include "cli/Console.h"

#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"
#include "files/Cp936.h"
#include "files/FileHelpers.h"
#include "files/ScheduleFile.h"
#include "files/TextLineReader.h"
#include "protocol/PortTableCodec.h"
#include "protocol/RateCodec.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>

#include <limits>

namespace korvane::cli {

namespace {

constexpr char Cr = '\r';
constexpr char Lf = '\n';
constexpr std::int64_t MaxAddress = 0xFFFFFF;
constexpr std::int64_t MaxCycles = 0xFFFFFF;
constexpr int ReservedByteLines = 32;

// A file's text in a message: its control characters escaped, so that the message
// stays one line and the terminal shows what the file holds.
QString shown(const QString& text) {
    return QStringLiteral("“%1”").arg(portShown(text));
}

// The file's lines as the window's reader splits them, with their numbers.
class Lines {
public:
    explicit Lines(const QByteArray& bytes) : m_bytes(bytes) {}

    bool atEnd() const {
        return m_pos >= m_bytes.size() || m_bytes[m_pos] == TextLineReader::EndOfFileMark;
    }
    int number() const { return m_line; } // of the line read last

    QByteArray text() {
        ++m_line;
        const qsizetype start = m_pos;
        while (m_pos < m_bytes.size() && m_bytes[m_pos] != Cr &&
               m_bytes[m_pos] != TextLineReader::EndOfFileMark)
            ++m_pos;
        const QByteArray line = m_bytes.mid(start, m_pos - start);
        if (m_pos < m_bytes.size() && m_bytes[m_pos] == Cr) {
            ++m_pos;
            if (m_pos < m_bytes.size() && m_bytes[m_pos] == Lf)
                ++m_pos;
        }
        return line;
    }

    // One raw byte and CR LF, as the save writes each reserved byte.
    bool byteLine() {
        ++m_line;
        if (m_pos + 2 >= m_bytes.size() || m_bytes[m_pos + 1] != Cr || m_bytes[m_pos + 2] != Lf)
            return false;
        m_pos += 3;
        return true;
    }

private:
    const QByteArray& m_bytes;
    qsizetype m_pos = 0;
    int m_line = 0;
};

// Text the code page holds: no byte decoded to a replacement or a lone lead byte.
bool isCp936(const QByteArray& bytes, QString& text) {
    text = fromCp936(bytes);
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u == 0xFFFD || u == 0xF8F5 || (u >= LoneLeadBase && u <= LoneLeadBase + 0xFF))
            return false;
    }
    return true;
}

// A decimal number as the save writes it: an optional minus sign, digits, 32 bits.
std::optional<std::int64_t> decimal(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^-?[0-9]{1,10}$"));
    if (!pattern.match(text).hasMatch())
        return std::nullopt;
    const qint64 value = text.toLongLong();
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::uint32_t>::max())
        return std::nullopt;
    return value;
}

// A rate a port's rate words give back as it stands.
bool rateCarried(int port, const QString& rateText, bool pocsag) {
    const std::optional<std::int64_t> rate = decimal(rateText);
    if (!rate || *rate <= 0 || *rate > std::numeric_limits<int>::max())
        return false;
    int back = 0;
    if (port == 1) {
        const auto words = encodeFirstPortRate(int(*rate));
        if (!words)
            return false;
        back = decodeFirstPortRate(words->base);
    } else {
        const auto word = encodePortRate(int(*rate));
        if (!word)
            return false;
        back = decodePortRate(*word);
    }
    return korvane::rateText(back, pocsag) == rateText;
}

class Checker {
public:
    Checker(const QString& path, const QByteArray& bytes) : m_path(path), m_lines(bytes) {}

    std::optional<InputProblem> run() {
        if (!header() || !rows())
            return m_problem;
        return std::nullopt;
    }

private:
    bool problem(const QString& what) {
        m_problem = InputProblem{m_path, m_lines.number(), what};
        return false;
    }

    // The next line as text, or false after naming what is missing.
    bool next(const QString& what, QString& text) {
        if (m_lines.atEnd()) {
            m_lines.text();
            return problem(QStringLiteral("文件在此结束，缺少%1").arg(what));
        }
        const QByteArray raw = m_lines.text();
        if (!isCp936(raw, text))
            return problem(QStringLiteral("%1含有代码页936没有的字节").arg(what));
        return true;
    }

    bool number(const QString& what, std::int64_t low, std::int64_t high,
                std::int64_t* out = nullptr) {
        QString text;
        if (!next(what, text))
            return false;
        const std::optional<std::int64_t> value = decimal(text);
        if (!value || *value < low || *value > high)
            return problem(QStringLiteral("%1应为%2至%3之间的十进制整数，而不是%4")
                               .arg(what)
                               .arg(low)
                               .arg(high)
                               .arg(shown(text)));
        if (out != nullptr)
            *out = *value;
        return true;
    }

    bool header() {
        QString text;
        std::int64_t serial = 0;
        std::int64_t address = 0;
        // Serial numbers above 2^31 are saved as negative 32-bit numbers.
        if (!number(QStringLiteral("序列号"), std::numeric_limits<std::int32_t>::min(),
                    std::numeric_limits<std::uint32_t>::max(), &serial))
            return false;
        if (serial == 0)
            return problem(QStringLiteral("序列号为0非法，请确认序列号不能为0！"));
        if (!number(QStringLiteral("地址"), 0, MaxAddress, &address))
            return false;
        if (address == 0)
            return problem(QStringLiteral("地址为0非法，请确认地址不能为0！"));
        return number(QStringLiteral("GPS开关"), 0, 1) && number(QStringLiteral("GPS极性"), 0, 1) &&
               number(QStringLiteral("干线延时开关"), 0, 1) &&
               number(QStringLiteral("干线延时A"), 0, MaxCycles) &&
               number(QStringLiteral("干线延时B"), 0, MaxCycles) &&
               number(QStringLiteral("干线端口"), 0, 2) &&
               number(QStringLiteral("干线数据极性"), 0, 1) &&
               number(QStringLiteral("干线时钟极性"), 0, 1) &&
               number(QStringLiteral("保留数值"), 0, 255) &&
               next(QStringLiteral("保留文字"), text) && reservedBytes();
    }

    bool reservedBytes() {
        for (int i = 0; i < ReservedByteLines; ++i) {
            if (m_lines.atEnd()) {
                m_lines.text();
                return problem(QStringLiteral("文件在此结束，缺少保留字节%1").arg(i));
            }
            if (!m_lines.byteLine())
                return problem(QStringLiteral("保留字节%1应为一个字节后跟回车换行").arg(i));
        }
        return true;
    }

    bool rows() {
        for (int port = 1; port <= PortCount; ++port) {
            QStringList cells;
            for (int column = 0; column < PortEntry::FieldCount; ++column) {
                QString text;
                if (!next(QStringLiteral("端口%1的“%2”").arg(port).arg(PortColumnCaptions[column]),
                          text))
                    return false;
                if (!cell(port, column, cells, text))
                    return false;
                cells.append(text);
            }
        }
        if (!m_lines.atEnd()) {
            m_lines.text();
            return problem(QStringLiteral("第%1个端口之后还有内容").arg(PortCount));
        }
        return true;
    }

    // One cell, given the row's cells before it.
    bool cell(int port, int column, const QStringList& before, const QString& text) {
        const QString caption = PortColumnCaptions[column];
        const auto refuse = [&](const QString& rule) {
            return problem(
                QStringLiteral("端口%1的%2%3无效，%4").arg(port).arg(caption, shown(text), rule));
        };
        const auto oneOf = [&](const QStringList& words) {
            return words.contains(text) ? true
                                        : refuse(QStringLiteral("应为%1之一")
                                                     .arg(shown(words.join(QStringLiteral("”“")))));
        };
        if (column == 0)
            return text == QString::number(port) ? true
                                                 : refuse(QStringLiteral("应为%1").arg(port));
        if (column == PortEntry::FieldCount - 1)
            return true; // the remark is any text
        const bool assigned = column == 1 ? text != text::None : before[1] != text::None;
        if (!assigned)
            return text == text::None || text.isEmpty()
                       ? true
                       : refuse(QStringLiteral("未分配通道的端口应为“-”"));
        const bool pocsag = column > 2 && before[2] == text::Pocsag;
        switch (column) {
        case 1: {
            const std::optional<std::int64_t> channel = decimal(text);
            return channel && *channel >= 1 && *channel <= 256
                       ? true
                       : refuse(QStringLiteral("应为“-”或1至256之间的整数"));
        }
        case 2:
            return oneOf({text::Sync, text::Pocsag});
        case 3:
            return rateCarried(port, text, before[2] == text::Pocsag)
                       ? true
                       : refuse(QStringLiteral("设备不能按原值保存这一速率"));
        case 4:
            return pocsag ? oneOf({text::None, text::Internal})
                          : oneOf({text::Internal, text::External});
        case 5:
            return oneOf({text::RisingEdge, text::FallingEdge});
        case 6:
            return oneOf({text::Positive, text::Negative});
        case 7:
            return oneOf({text::On, text::Off});
        case 8: {
            if (text.isEmpty() || text == text::None)
                return true;
            static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{1,6}$"));
            return hex.match(text).hasMatch()
                       ? true
                       : refuse(QStringLiteral("应为不超过FFFFFF的十六进制数"));
        }
        default:
            return true;
        }
    }

    QString m_path;
    Lines m_lines;
    std::optional<InputProblem> m_problem;
};

} // namespace

QString InputProblem::text() const {
    return line > 0 ? QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(what)
                    : QStringLiteral("%1: %2").arg(file, what);
}

std::optional<InputProblem> checkConfigurationBytes(const QString& path, const QByteArray& bytes) {
    return Checker(path, bytes).run();
}

CheckedConfiguration readCheckedConfiguration(const QString& path) {
    QString error;
    const std::optional<QByteArray> bytes = readFileBytes(path, &error);
    if (!bytes)
        return {std::nullopt, InputProblem{path, 0, QStringLiteral("无法读取配置文件：") + error}};
    return checkedConfiguration(path, *bytes);
}

CheckedConfiguration checkedConfiguration(const QString& path, const QByteArray& bytes) {
    if (std::optional<InputProblem> problem = checkConfigurationBytes(path, bytes))
        return {std::nullopt, std::move(problem)};
    return {parseConfigurationFile(bytes), std::nullopt};
}

CheckedFolder readCheckedFolder(const QString& folder) {
    const QDir dir(folder);
    if (!QFileInfo(folder).isDir())
        return {{}, InputProblem{folder, 0, QStringLiteral("不是文件夹")}};
    const QStringList names =
        dir.entryList({QStringLiteral("*.krv")}, QDir::Files | QDir::Readable, QDir::Name);
    if (names.isEmpty())
        return {{}, InputProblem{folder, 0, QStringLiteral("文件夹中没有 .krv 配置文件")}};
    CheckedFolder checked;
    QHash<std::uint32_t, QString> bySerial;
    for (const QString& name : names) {
        const QString path = dir.filePath(name);
        CheckedConfiguration one = readCheckedConfiguration(path);
        if (one.problem)
            return {{}, std::move(one.problem)};
        const auto serial = static_cast<std::uint32_t>(one.file->serialNumber);
        if (const auto it = bySerial.constFind(serial); it != bySerial.constEnd())
            return {
                {},
                InputProblem{
                    path, 1,
                    QStringLiteral("序列号%1与 %2 的相同，不知该用哪一个").arg(serial).arg(*it)}};
        bySerial.insert(serial, path);
        checked.files.push_back({path, std::move(*one.file)});
    }
    return checked;
}

std::optional<InputProblem> checkScheduleInput(const QString& channels) {
    if (!channels.isEmpty() && !QFileInfo(channels).isFile())
        return InputProblem{channels, 0, QStringLiteral("信道文件不存在（--channels）")};
    const QString schedule = scheduleFilePath(channels);
    const QString options = QStringLiteral("（--channels 给出信道文件，时序表是它旁边的 .sch；"
                                           "--no-schedule 不写时序表）");
    if (!QFileInfo(schedule).isFile())
        return InputProblem{schedule, 0, scheduleFileMissingMessage(schedule) + options};
    QString error;
    const std::optional<QByteArray> bytes = readFileBytes(schedule, &error);
    if (!bytes)
        return InputProblem{schedule, 0, QStringLiteral("无法读取时序表文件：") + error};
    const ScheduleTable table = parseScheduleEntries(*bytes);
    if (const std::optional<QString> refusal = scheduleSizeRefusal(qsizetype(table.size())))
        return InputProblem{schedule, 0, *refusal};
    return std::nullopt;
}

} // namespace korvane::cli
