// SPDX-License-Identifier: MIT
#include "cli/CommandSupport.h"

#include "cli/Command.h"
#include "cli/Console.h"
#include "cli/ConsoleOperator.h"
#include "cli/JsonWriter.h"
#include "config/DisplayTexts.h"
#include "protocol/Commands.h"
#include "protocol/DeviceProcedures.h"
#include "session/DeviceSession.h"

#include <QFileInfo>

#include <span>

namespace korvane::cli {

namespace {

// write and diff take a backup folder as read -o DIR/ makes it.
bool inputIsFolder(const QString& path) {
    return path != QStringLiteral("-") && (path.endsWith(u'/') || QFileInfo(path).isDir()
#if defined(_WIN32)
                                           || path.endsWith(u'\\')
#endif
                                          );
}

QJsonObject inputJson(const InputProblem& problem) {
    return {
        {QStringLiteral("file"), problem.file},
        {QStringLiteral("line"), problem.line > 0 ? QJsonValue(problem.line) : QJsonValue::Null},
        {QStringLiteral("problem"), problem.what}};
}

} // namespace

QJsonValue textOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue::Null : QJsonValue(text);
}

QJsonValue commandWord(const Options& options) {
    if (options.command == nullptr)
        return QJsonValue::Null;
    return QString::fromLatin1(options.command->name);
}

void printDocument(Console& console, const Options& options, int status, const QJsonArray& ports,
                   const QString& error, const QJsonValue& input) {
    const QJsonObject document{
        {QStringLiteral("version"), JsonVersion},
        {QStringLiteral("command"), commandWord(options)},
        {QStringLiteral("ok"), status == StatusOk},
        {QStringLiteral("error"), textOrNull(error)},
        {QStringLiteral("status"), status},
        {QStringLiteral("input"), input},
        {QStringLiteral("ports"), ports},
    };
    console.out(QString::fromUtf8(jsonText(document)));
}

int refuseInput(Console& console, const Options& options, const InputProblem& problem) {
    console.err(problem.text());
    if (options.json)
        printDocument(console, options, StatusUsage, {}, problem.text(), inputJson(problem));
    return StatusUsage;
}

QJsonObject portBase(const PortResult& r) {
    QJsonObject o{
        {QStringLiteral("port"), r.port},
        {QStringLiteral("ok"), r.status == StatusOk},
        {QStringLiteral("error"), r.status == StatusOk ? QJsonValue::Null : QJsonValue(r.error)},
        {QStringLiteral("reason"), textOrNull(r.reason)},
        {QStringLiteral("hint"), textOrNull(r.hint)},
        {QStringLiteral("status"), r.status}};
    if (r.configuration)
        o.insert(QStringLiteral("model"), r.configuration->deviceModel == text::ModelUnknown
                                              ? QJsonValue::Null
                                              : QJsonValue(r.configuration->deviceModel));
    return o;
}

QJsonArray differencesJson(const QList<Difference>& differences) {
    QJsonArray array;
    for (const Difference& d : differences)
        array.append(d.json());
    return array;
}

const ConfigurationFile* InputConfiguration::fileFor(const DeviceConfiguration& device,
                                                     ConsoleOperator& ui,
                                                     PortResult& result) const {
    if (!folder) {
        result.input = path;
        return &*file;
    }
    for (const InputFile& input : *folder) {
        if (static_cast<std::uint32_t>(input.file.serialNumber) == device.info.serialNumber) {
            result.input = input.path;
            return &input.file;
        }
    }
    ui.fail(QStringLiteral("%1 中没有序列号为%2的配置文件；什么也没有发送")
                .arg(path)
                .arg(device.info.serialNumber));
    return nullptr;
}

std::optional<int> readInput(InputConfiguration& input, Options& options, Console& console,
                             bool folderAllowed) {
    const QString& path = options.args.file;
    input.path = path;
    if (folderAllowed && inputIsFolder(path)) {
        CheckedFolder checked = readCheckedFolder(path);
        if (checked.problem)
            return refuseInput(console, options, *checked.problem);
        input.folder = std::make_shared<const std::vector<InputFile>>(std::move(checked.files));
        return std::nullopt;
    }
    CheckedConfiguration checked = path == QStringLiteral("-")
                                       ? checkedConfiguration(QStringLiteral("-"), console.readIn())
                                       : readCheckedConfiguration(path);
    if (checked.problem)
        return refuseInput(console, options, *checked.problem);
    input.file = std::move(checked.file);
    return std::nullopt;
}

std::optional<int> checkSchedule(const QString& channels, Options& options, Console& console) {
    if (const std::optional<InputProblem> problem = checkScheduleInput(channels))
        return refuseInput(console, options, *problem);
    return std::nullopt;
}

std::optional<ByteBuffer> readOne(DeviceSession& session, ConsoleOperator& ui, std::uint8_t code) {
    const QString& model = session.configuration().deviceModel;
    const auto answer = session.procedures().transact(readRequest(code));
    const ReadResponse r = answer ? checkReadResponse(code, model, std::span(*answer))
                                  : checkReadResponse(code, model, std::nullopt);
    if (!r.isOk()) {
        ui.fail(r.error->text);
        return std::nullopt;
    }
    return r.frame;
}

int CommandRun::status(const std::vector<PortResult>& results, Console&) const {
    int status = StatusOk;
    for (const PortResult& r : results)
        status = std::max(status, r.status);
    return status;
}

} // namespace korvane::cli
