// SPDX-License-Identifier: MIT
#pragma once
// The channel file (.chn): two header lines, then six-line records (channel, coding,
// rate, clock source, clock edge, stop bits), in code page 936. Beside it, the channel
// delay file: the same path ending in ".ini", section "DELAY", one key per channel.

#include <QByteArray>
#include <QList>
#include <QString>

namespace korvane {

struct ChannelRecord {
    QString channel;
    QString coding;
    QString rate;
    QString clockSource;
    QString clockEdge;
    QString stopBits;
    bool operator==(const ChannelRecord&) const = default;
};

// The records in file order, without those whose coding is "-" (gap fillers and
// records with an empty coding line).
QList<ChannelRecord> parseChannelFile(const QByteArray& bytes);
// Throws KorvaneError when the file cannot be read.
QList<ChannelRecord> readChannelFile(const QString& path);

// The channel file's path with its extension replaced by ".ini" (appended when it has
// none); empty for an empty path.
QString channelDelayFilePath(const QString& channelFilePath);

inline const QString NoChannelDelay = QStringLiteral("000000");

// The channel's delay text from the channel delay file, "000000" when there is no
// channel file, no delay file or no such key.
QString channelDelay(const QString& channelFilePath, const QString& channel);

} // namespace korvane
