// SPDX-License-Identifier: MIT
#include "files/ChannelFile.h"

#include "config/DisplayTexts.h"
#include "config/KorvaneError.h"
#include "files/FileHelpers.h"
#include "files/IniFile.h"
#include "files/PortRowReader.h"
#include "files/TextLineReader.h"

#include <QSet>

#include <limits>

namespace korvane {

namespace {
constexpr int HeaderLines = 2;
constexpr int RecordLines = 6;
constexpr qsizetype MaxSharedTexts = 256;
} // namespace

QList<ChannelRecord> parseChannelFile(const QByteArray& bytes) {
    QList<ChannelRecord> records;
    // At most one record per six lines: reserved at once, the list never grows by copying.
    records.reserve(bytes.count('\r') / RecordLines + 1);
    // Codings, rates and clock words repeat from record to record: one copy of each
    // of the first few distinct texts serves them all.
    QSet<QString> shared;
    const auto share = [&](QString& text) {
        const auto found = shared.constFind(text);
        if (found != shared.cend())
            text = *found;
        else if (shared.size() < MaxSharedTexts)
            shared.insert(text);
    };
    TextLineReader reader(bytes);
    reader.skipLines(HeaderLines);
    readPortRows(reader, RecordLines, std::numeric_limits<qsizetype>::max(), [&](QStringList& row) {
        if (row[1] == text::None)
            return;
        for (int column = 1; column < RecordLines; ++column)
            share(row[column]);
        records.append(ChannelRecord{row[0], row[1], row[2], row[3], row[4], row[5]});
    });
    return records;
}

QList<ChannelRecord> readChannelFile(const QString& path) {
    QString error;
    const std::optional<QByteArray> bytes = readFileBytes(path, &error);
    if (!bytes)
        throw KorvaneError(QStringLiteral("无法读取信道配置文件“%1”：%2").arg(path, error));
    return parseChannelFile(*bytes);
}

QString channelDelayFilePath(const QString& channelFilePath) {
    if (channelFilePath.isEmpty())
        return QString();
    return replaceExtension(channelFilePath, QStringLiteral(".ini"));
}

QString channelDelay(const QString& channelFilePath, const QString& channel) {
    if (channelFilePath.isEmpty())
        return NoChannelDelay;
    const IniFile delays(channelDelayFilePath(channelFilePath));
    return delays.readString(QStringLiteral("DELAY"), channel, NoChannelDelay);
}

} // namespace korvane
