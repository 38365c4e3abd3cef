// SPDX-License-Identifier: MIT
#include "sim/StateFile.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <optional>

namespace korvane::sim {
namespace {

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

std::optional<ByteBuffer> parseHexBytes(const QString& value) {
    QString digits = value;
    digits.remove(QRegularExpression(QStringLiteral("\\s")));
    if (digits.size() % 2 != 0)
        return std::nullopt;
    ByteBuffer bytes;
    for (qsizetype i = 0; i < digits.size(); i += 2) {
        const int high = hexDigit(digits[i]);
        const int low = hexDigit(digits[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return bytes;
}

std::optional<quint64> parseNumber(const QString& value, quint64 max) {
    bool ok = false;
    const quint64 n = value.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                          ? value.mid(2).toULongLong(&ok, 16)
                          : value.toULongLong(&ok, 10);
    if (!ok || n > max || value.contains(QLatin1Char('+')) || value.contains(QLatin1Char('-')))
        return std::nullopt;
    return n;
}

QString hexText(const ByteBuffer& bytes) {
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()))
            .toHex(' ')
            .toUpper());
}

struct Line {
    int number;
    QString key;
    QString value;
};

bool fail(QString* error, const QString& message) {
    if (error)
        *error = message;
    return false;
}

bool setSection(ByteBuffer& section, const Line& line, std::size_t length, QString* error) {
    const auto bytes = parseHexBytes(line.value);
    if (!bytes)
        return fail(error,
                    QStringLiteral("line %1: %2 needs hex bytes").arg(line.number).arg(line.key));
    if (bytes->size() != length)
        return fail(error, QStringLiteral("line %1: %2 needs %3 bytes, got %4")
                               .arg(line.number)
                               .arg(line.key)
                               .arg(length)
                               .arg(bytes->size()));
    section = *bytes;
    return true;
}

bool applyLine(const Line& line, DeviceState& state, QString* error) {
    const QStringList keyParts = line.key.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString key = keyParts.value(0);
    if (key == QLatin1String("block")) {
        const auto block = keyParts.size() == 2 ? parseNumber(keyParts[1], 255) : std::nullopt;
        if (!block)
            return fail(error,
                        QStringLiteral("line %1: block number must be 0 to 255").arg(line.number));
        ByteBuffer entries;
        if (!setSection(entries, line, ScheduleBlockEntries, error))
            return false;
        state.scheduleBlocks[static_cast<std::uint8_t>(*block)] = entries;
        return true;
    }
    if (keyParts.size() != 1)
        return fail(error,
                    QStringLiteral("line %1: unknown key \"%2\"").arg(line.number).arg(line.key));
    if (key == QLatin1String("model"))
        return true; // applied first
    if (key == QLatin1String("address") || key == QLatin1String("serial")) {
        const bool isAddress = key == QLatin1String("address");
        const auto n = parseNumber(line.value, isAddress ? AddressMask : 0xFFFFFFFFull);
        if (!n)
            return fail(error, QStringLiteral("line %1: %2 must be a number of %3 bits")
                                   .arg(line.number)
                                   .arg(key)
                                   .arg(isAddress ? 24 : 32));
        (isAddress ? state.address : state.serialNumber) = static_cast<std::uint32_t>(*n);
        return true;
    }
    if (key == QLatin1String("ports")) {
        const auto bytes = parseHexBytes(line.value);
        if (!bytes || (bytes->size() != PortPayloadLengthKorvane &&
                       bytes->size() != PortPayloadLengthKorvaneAB))
            return fail(error, QStringLiteral("line %1: ports needs %2 or %3 hex bytes")
                                   .arg(line.number)
                                   .arg(PortPayloadLengthKorvane)
                                   .arg(PortPayloadLengthKorvaneAB));
        state.portParams = *bytes;
        state.portParams.resize(portPayloadLength(state.model), 0x00);
        return true;
    }
    if (key == QLatin1String("gps"))
        return setSection(state.gps, line, GpsPayloadLength, error);
    if (key == QLatin1String("trunk"))
        return setSection(state.trunk, line, TrunkPayloadLength, error);
    if (key == QLatin1String("delay"))
        return setSection(state.trunkDelay, line, TrunkDelayPayloadLength, error);
    return fail(error, QStringLiteral("line %1: unknown key \"%2\"").arg(line.number).arg(key));
}

} // namespace

bool applyStateText(const QString& text, DeviceState& state, QString* error) {
    QList<Line> lines;
    const QStringList rawLines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < rawLines.size(); ++i) {
        QString content = rawLines[i];
        const qsizetype hash = content.indexOf(QLatin1Char('#'));
        if (hash >= 0)
            content.truncate(hash);
        content = content.trimmed();
        if (content.isEmpty())
            continue;
        const qsizetype eq = content.indexOf(QLatin1Char('='));
        if (eq < 0)
            return fail(error, QStringLiteral("line %1: expected \"key = value\"").arg(i + 1));
        lines.append(
            {int(i + 1), content.left(eq).simplified().toLower(), content.mid(eq + 1).trimmed()});
    }

    DeviceState next = state;
    for (const Line& line : lines) {
        if (line.key != QLatin1String("model"))
            continue;
        const auto model = modelFromLabel(line.value);
        if (!model)
            return fail(
                error,
                QStringLiteral("line %1: model must be KORVANE or KORVANEA/B").arg(line.number));
        next.setModel(*model);
    }
    for (const Line& line : lines) {
        if (!applyLine(line, next, error))
            return false;
    }
    state = std::move(next);
    return true;
}

bool loadStateFile(const QString& path, DeviceState& state, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, QStringLiteral("%1: %2").arg(path, file.errorString()));
    if (file.size() > MaxStateFileSize)
        return fail(error, QStringLiteral("%1: file too large (%2 bytes, the limit is %3)")
                               .arg(path)
                               .arg(file.size())
                               .arg(MaxStateFileSize));
    QString message;
    if (!applyStateText(QString::fromUtf8(file.readAll()), state, &message))
        return fail(error, QStringLiteral("%1: %2").arg(path, message));
    return true;
}

QString stateText(const DeviceState& state) {
    QString text;
    text += QStringLiteral("model = %1\n").arg(modelLabel(state.model));
    text += QStringLiteral("address = %1\n").arg(state.address);
    text += QStringLiteral("serial = %1\n").arg(state.serialNumber);
    text += QStringLiteral("ports = %1\n").arg(hexText(state.portParams));
    text += QStringLiteral("gps = %1\n").arg(hexText(state.gps));
    text += QStringLiteral("trunk = %1\n").arg(hexText(state.trunk));
    text += QStringLiteral("delay = %1\n").arg(hexText(state.trunkDelay));
    for (const auto& [block, entries] : state.scheduleBlocks)
        text += QStringLiteral("block %1 = %2\n").arg(block).arg(hexText(entries));
    return text;
}

QString stateFileHelp() {
    return QStringLiteral(
        "State file (--state): lines \"key = value\"; '#' starts a comment; keys not given\n"
        "keep their start values. --model, when given, wins over the file's model.\n"
        "  model   = KORVANE | KORVANEA/B\n"
        "  address = N          decimal or 0x hex, 24 bits\n"
        "  serial  = N          decimal or 0x hex, 32 bits\n"
        "  ports   = HEX...     89 or 161 bytes, port parameter payload (fitted to the model)\n"
        "  gps     = HEX HEX    2 bytes\n"
        "  trunk   = HEX...     5 bytes, trunk attributes\n"
        "  delay   = HEX...     7 bytes, trunk delay (a KORVANE answers the first 4)\n"
        "  block N = HEX...     64 bytes, timing schedule block N (0-255)\n"
        "HEX bytes are pairs of hex digits, spaces between pairs optional.\n");
}

} // namespace korvane::sim
