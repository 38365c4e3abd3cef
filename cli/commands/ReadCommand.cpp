// SPDX-License-Identifier: MIT
// korvanectl read: everything a device holds, printed or saved as configuration files.
#include "cli/Command.h"
#include "cli/CommandSupport.h"
#include "cli/ConfigurationReport.h"
#include "cli/Console.h"
#include "config/KorvaneError.h"
#include "files/ConfigurationFile.h"
#include "protocol/DeviceProcedures.h"
#include "session/DeviceSession.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace korvane::cli {

namespace {

// -o PATH is a folder of <serial>.krv: for several ports, a PATH ending in a separator,
// or a folder that exists.
bool outputIsFolder(const Options& o) {
    const QString output = o.args.value("-o");
    return o.ports.size() > 1 || output.endsWith(u'/') || QFileInfo(output).isDir()
#if defined(_WIN32)
           || output.endsWith(u'\\')
#endif
        ;
}

class ReadRun : public CommandRun {
public:
    explicit ReadRun(const Options& o)
        : json(o.json), output(o.args.value("-o")), folder(outputIsFolder(o)) {}

    int runOnPort(DeviceSession& session, ConsoleOperator&, PortResult& result) const override {
        result.configurationRead = session.procedures().readDevice();
        return result.configurationRead ? StatusOk : StatusUnreachable;
    }

    void report(std::vector<PortResult>& results, Console& console,
                QJsonArray& ports) const override {
        if (!output.isEmpty())
            save(results, console);
        for (const PortResult& r : results) {
            QJsonObject obj = portBase(r);
            obj.insert(QStringLiteral("configuration"),
                       r.read == ReadPart::Nothing
                           ? QJsonValue::Null
                           : QJsonValue(configurationJson(*r.configuration, {r.read, true})));
            obj.insert(QStringLiteral("file"), textOrNull(r.savedFile));
            ports.append(obj);
        }
        if (json || !output.isEmpty())
            return;
        for (const PortResult& r : results) {
            if (!r.configurationRead)
                continue;
            const bool several = results.size() > 1;
            if (several)
                console.out(QStringLiteral("== %1 ==\n").arg(portShown(r.port)));
            console.out(configurationText(*r.configuration) +
                        (several ? QStringLiteral("\n") : QString()));
        }
    }

private:
    static void refuse(PortResult& r, Console& console, const QString& error) {
        r.error = error;
        console.err(portShown(r.port) + QStringLiteral(": ") + r.error);
        r.status = std::max(r.status, StatusUsage);
    }

    // The file each device's configuration goes to: the output itself for one port, else
    // <serial>.krv in the output folder.
    void save(std::vector<PortResult>& results, Console& console) const {
        QSet<QString> taken;
        for (PortResult& r : results) {
            if (!r.configurationRead)
                continue;
            QString path = output;
            if (path == QStringLiteral("-")) {
                try {
                    console.outBytes(configurationFileBytes(*r.configuration));
                    r.savedFile = path;
                } catch (const KorvaneError& e) {
                    refuse(r, console, e.message());
                }
                continue;
            }
            if (folder) {
                const QString name =
                    QString::number(r.configuration->info.serialNumber) + QStringLiteral(".krv");
                path = QDir(output).filePath(name);
                if (taken.contains(name)) {
                    refuse(r, console,
                           QStringLiteral("另一台设备的序列号也是%1，未保存")
                               .arg(r.configuration->info.serialNumber));
                    continue;
                }
                taken.insert(name);
            }
            try {
                writeConfigurationFile(path, *r.configuration);
                r.savedFile = path;
            } catch (const KorvaneError& e) {
                refuse(r, console, e.message());
            }
        }
    }

    bool json;
    QString output;
    bool folder;
};

QString help() {
    return QStringLiteral(
        "Usage: korvanectl --port P... read [-o PATH]\n"
        "Reads address, serial number, port table, GPS, trunk and delay. With -o saves\n"
        "them as a configuration file: PATH is a folder holding <serial>.krv per device\n"
        "when it ends in / or is a folder already, or with several ports; else the file\n"
        "(- standard output). Without -o prints them (--json: JSON).\n");
}

constexpr CommandOption options[] = {{.name = "-o", .alias = "--output", .takesValue = true}};

QString checkOptions(Options& o) {
    const QString output = o.args.value("-o");
    if (output == QStringLiteral("-") && o.ports.size() > 1)
        return QStringLiteral("-o - 只能用于一个端口");
    if (output.isEmpty() && o.args.has("-o"))
        return QStringLiteral("-o 需要路径");
    return {};
}

Prepared prepare(Options& o, Console& console) {
    const QString output = o.args.value("-o");
    if (!output.isEmpty() && output != QStringLiteral("-") && outputIsFolder(o) &&
        !QDir().mkpath(output))
        return {nullptr,
                refuseInput(console, o, {output, 0, QStringLiteral("无法建立这个文件夹")})};
    return {std::make_unique<ReadRun>(o)};
}

} // namespace

extern const CommandDef readCommand{
    .name = "read",
    .synopsis =
        "  read [-o PATH]               read everything; print it or save it (- standard output)\n",
    .help = help,
    .options = options,
    .ports = PortUse::Needed,
    .takesFile = false,
    .checkOptions = checkOptions,
    .prepare = prepare,
};

} // namespace korvane::cli
