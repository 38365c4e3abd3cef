// SPDX-License-Identifier: MIT
#include "files/ScheduleFile.h"

#include "config/KorvaneError.h"
#include "files/Cp936.h"
#include "files/FileHelpers.h"
#include "files/TextLineReader.h"

#include <QFileInfo>

namespace korvane {

namespace {
constexpr std::uint8_t NoPort = 0xFF;
constexpr int PortBase = 100;
constexpr int PassThrough = 200;
constexpr int MaxPorts = 24;
} // namespace

QString scheduleFilePath(const QString& channelFileName) {
    const QString beside = replaceExtension(channelFileName, QStringLiteral(".sch"));
    if (!channelFileName.isEmpty() && QFileInfo(beside).isFile())
        return beside;
    // Relative, so that it is opened in the current directory and named as written.
    return QStringLiteral("SchedulingFile.dat");
}

ScheduleTable parseScheduleEntries(const QByteArray& bytes, bool skipHeader) {
    TextLineReader reader(bytes);
    if (skipHeader)
        reader.skipLines(ScheduleHeaderLines);
    ScheduleTable table;
    while (!reader.atEnd())
        table.push_back(std::uint8_t(decimalOr(fromCp936(reader.readLine()), NoPort) & 0xFF));
    return table;
}

void convertScheduleTable(ScheduleTable& table, const PortTable& ports) {
    for (const PortEntry& row : ports) {
        // Only a number gives the same value whatever the fallback.
        const int port = decimalOr(row.portNumber, 0);
        if (port != decimalOr(row.portNumber, 1))
            throw KorvaneError(
                QStringLiteral("'%1' is not a valid integer value").arg(row.portNumber));
        const int channel = decimalOr(row.channel, -1);
        if (channel < 1)
            continue;
        // A replaced entry holds a port code (100-123) or 0xFF, which a later row
        // matches again only if its channel's low byte is that very value.
        const auto wanted = std::uint8_t((channel - 1) & 0xFF);
        // A port the device does not have claims the slots for no port.
        const bool known = port >= 1 && port <= MaxPorts;
        const auto claimed = known ? std::uint8_t(port - 1 + PortBase) : NoPort;
        for (std::uint8_t& entry : table) {
            if (entry == wanted)
                entry = claimed;
        }
    }
    for (std::uint8_t& entry : table) {
        if (entry >= PortBase && entry < PassThrough)
            entry = std::uint8_t(entry - PortBase);
        else if (entry < PortBase)
            entry = NoPort;
    }
}

std::optional<ScheduleTable> buildScheduleTable(const QString& path, const PortTable& ports,
                                                QString* refusal, QString* reason) {
    QString error;
    const std::optional<QByteArray> bytes = readFileBytes(path, &error);
    if (!bytes) {
        if (refusal)
            *refusal = scheduleFileMissingMessage(path);
        if (reason)
            *reason = error;
        return std::nullopt;
    }
    ScheduleTable table = parseScheduleEntries(*bytes);
    convertScheduleTable(table, ports);
    return table;
}

QString scheduleFileMissingMessage(const QString& fileName) {
    return u'"' + fileName + QStringLiteral("\"时序表文件不存在！");
}

std::optional<QString> scheduleSizeRefusal(qsizetype entries) {
    if (entries <= MaxScheduleEntries)
        return std::nullopt;
    return QStringLiteral("时序表有%1项，超过了设备所能接收的%2项，未发送。")
        .arg(entries)
        .arg(MaxScheduleEntries);
}

int scheduleBlockCount(qsizetype entries) {
    return int((entries + ScheduleBlockEntries - 1) / ScheduleBlockEntries);
}

} // namespace korvane
