// SPDX-License-Identifier: MIT
// korvane-bench-readers: time and peak memory of each file reader at 1 KB, 1 MB and
// the reader's size limit. Each case runs in a child process of its own, so that one
// case's peak does not hide the next; the child warms up (code page tables, the
// reader's first use), resets its peak, reads the file and reports time and peak.

#include "files/ChannelFile.h"
#include "files/ConfigurationFile.h"
#include "files/Cp936.h"
#include "files/FileHelpers.h"
#include "files/IniFile.h"
#include "files/ScheduleFile.h"
#include "sim/StateFile.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <functional>

using namespace korvane;

namespace {

constexpr double TimeTargetMs = 1000;
constexpr double MemoryTargetPerByte = 10;

struct Reader {
    const char* name;
    qint64 limit;
    // Text repeated to fill a file; %1 is a running number.
    QByteArray head;
    QString unit;
    std::function<void(const QString& path)> read;
};

const QList<Reader>& readers() {
    static const QList<Reader> readers = {
        {"settings", MaxSettingsFileSize,
         "[Setting]\r\nCommName=COM1\r\nBaudRate=9600\r\nChannelFile=/home/a/b.chn\r\n",
         QStringLiteral("[Section%1]\r\nKey%1=value of key %1\r\nOther%1=123\r\n"
                        "; remark %1\r\n\r\n"),
         [](const QString& path) {
             const IniFile ini(path);
             // What the main window reads at start.
             for (const char* key : {"CommName", "BaudRate", "Parity", "ByteSize", "StopBits",
                                     "debug", "ChannelFile", "Missing"})
                 ini.readString(QStringLiteral("Setting"), QString::fromLatin1(key), QString());
         }},
        {"settings (one key a line)", MaxSettingsFileSize, "[Setting]\r\n",
         QStringLiteral("K%1=\r\n"),
         [](const QString& path) {
             const IniFile ini(path);
             ini.readString(QStringLiteral("Setting"), QStringLiteral("K1"), QString());
         }},
        {"channel", MaxTextFileSize, toCp936(u"Korvane 信道配置文件\r\n信道 编码\r\n"),
         QStringLiteral("%1\r\nPOCSAG\r\n1200\r\n内部\r\n上升沿(正)\r\n1\r\n"),
         [](const QString& path) {
             readChannelFile(path);
         }},
        {"configuration", MaxTextFileSize, QByteArray("1\r\n").repeated(44),
         QStringLiteral("%1\r\n5\r\nPOCSAG\r\n1200\r\n内部\r\n上升沿(正)\r\n正\r\n开\r\n"
                        "000000\r\n备注\r\n"),
         [](const QString& path) {
             readConfigurationFile(path);
         }},
        {"schedule", MaxTextFileSize, "h1\r\nh2\r\nh3\r\n", QStringLiteral("%1\r\n"),
         [](const QString& path) {
             buildScheduleTable(path, PortTable());
         }},
        {"simulator state", sim::MaxStateFileSize, "model = KORVANE\n",
         QStringLiteral("block %1 = ") + QStringLiteral("00 01 FF 3B ").repeated(16) + u'\n',
         [](const QString& path) {
             sim::DeviceState state;
             sim::loadStateFile(path, state, nullptr);
         }},
    };
    return readers;
}

// The reader's file of exactly size bytes at most, cut after a whole line.
QByteArray content(const Reader& reader, qint64 size) {
    QByteArray out = reader.head;
    for (int n = 1; out.size() < size; ++n)
        out +=
            toCp936(reader.unit.arg(reader.name == QLatin1String("simulator state") ? n % 256 : n));
    out.truncate(qsizetype(size));
    return out.left(out.lastIndexOf('\n') + 1);
}

qint64 statusKiB(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field)))
                .trimmed()
                .split(' ')
                .value(0)
                .toLongLong();
    }
    return -1;
}

int runChild(const QString& readerName, const QString& path, const QString& warmPath) {
    for (const Reader& reader : readers()) {
        if (readerName != QLatin1String(reader.name))
            continue;
        reader.read(warmPath);
        // From here on the peak counts this case only.
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
            return 2;
        clear.close();
        const qint64 baseline = statusKiB("VmRSS:");
        QElapsedTimer timer;
        timer.start();
        reader.read(path);
        const qint64 ns = timer.nsecsElapsed();
        const qint64 peak = statusKiB("VmHWM:");
        std::printf("%lld %lld\n", ns, (peak - baseline) * 1024);
        return 0;
    }
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 5 && args[1] == QLatin1String("--child"))
        return runChild(args[2], args[3], args[4]);
    if (args.size() > 1) {
        std::printf("Usage: korvane-bench-readers\n"
                    "Prints time and peak memory of each file reader at 1 KB, 1 MB and its\n"
                    "size limit; targets: under %.0f ms and under %.0f bytes of memory per\n"
                    "input byte.\n",
                    TimeTargetMs, MemoryTargetPerByte);
        return args[1] == QLatin1String("--help") ? 0 : 2;
    }

    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    std::printf("%-26s %10s %10s %12s %12s  %s\n", "reader", "bytes", "time ms", "peak bytes",
                "peak/byte", "targets");
    int failures = 0;
    for (const Reader& reader : readers()) {
        const QString warmPath = dir.filePath(QStringLiteral("warm"));
        const QString path = dir.filePath(QStringLiteral("case"));
        for (const qint64 size : {qint64(1000), qint64(1000000), reader.limit}) {
            const QByteArray warm = content(reader, 1000);
            const QByteArray bytes = content(reader, size);
            QFile w(warmPath), f(path);
            if (!w.open(QIODevice::WriteOnly) || w.write(warm) != warm.size() ||
                !f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
                return 1;
            w.close();
            f.close();
            QProcess child;
            child.start(args[0],
                        {QStringLiteral("--child"), QLatin1String(reader.name), path, warmPath});
            if (!child.waitForFinished(600000) || child.exitCode() != 0) {
                std::printf("%-26s %10lld  child failed\n", reader.name, qint64(bytes.size()));
                ++failures;
                continue;
            }
            const QList<QByteArray> out = child.readAllStandardOutput().trimmed().split(' ');
            const double ms = out.value(0).toLongLong() / 1e6;
            const qint64 peak = out.value(1).toLongLong();
            const double perByte = double(peak) / double(bytes.size());
            // A kilobyte's peak is a page or two: the ratio only counts from 1 MB on.
            const bool pass =
                ms < TimeTargetMs && (size < 1000000 || perByte < MemoryTargetPerByte);
            std::printf("%-26s %10lld %10.2f %12lld %12.2f  %s\n", reader.name,
                        qint64(bytes.size()), ms, peak, perByte, pass ? "PASS" : "FAIL");
            failures += pass ? 0 : 1;
        }
    }
    return failures == 0 ? 0 : 1;
}
