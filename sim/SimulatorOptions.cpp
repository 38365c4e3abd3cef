// SPDX-License-Identifier: MIT
#include "sim/SimulatorOptions.h"

#include "KorvaneVersion.h"
#include "sim/StateFile.h"

#include <QCommandLineParser>

namespace korvane::sim {
namespace {

std::optional<int> parseCount(const QString& text, int max) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 0 || n > max)
        return std::nullopt;
    return n;
}

ParsedArguments error(const QString& message) {
    ParsedArguments parsed;
    parsed.outcome = ParsedArguments::Outcome::Error;
    parsed.text = message;
    return parsed;
}

} // namespace

std::optional<std::set<std::uint8_t>> parseCodeList(const QString& text) {
    std::set<std::uint8_t> codes;
    for (QString item : text.split(QLatin1Char(','))) {
        item = item.trimmed();
        if (item.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
            item = item.mid(2);
        bool ok = false;
        const uint code = item.toUInt(&ok, 16);
        if (!ok || item.isEmpty() || item.size() > 2 || code > 0xFF)
            return std::nullopt;
        codes.insert(static_cast<std::uint8_t>(code));
    }
    return codes;
}

ParsedArguments parseArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Stands in for a Korvane device on a pseudo-terminal. Prints \"PTY <slave "
                       "path>\" as its first line and answers the device's commands until "
                       "SIGTERM or SIGINT.\n"
                       "Reads are answered 7E code payload 7F; writes 7E code 55 7F when stored, "
                       "7E code AA 7F when refused (other address or serial number, wrong "
                       "length)."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the version."));
    const QCommandLineOption model(QStringLiteral("model"),
                                   QStringLiteral("Device model: KORVANE (default) or KORVANEA/B."),
                                   QStringLiteral("MODEL"));
    const QCommandLineOption state(QStringLiteral("state"),
                                   QStringLiteral("Start state from FILE (format below)."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption link(QStringLiteral("link"),
                                  QStringLiteral("Also make PATH a symlink to the slave; removed "
                                                 "on exit."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("Log every frame to FILE, one flushed line each: "
                                                "time, RX or TX, hex bytes."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption replyDelay(QStringLiteral("reply-delay-ms"),
                                        QStringLiteral("Wait N ms before each answer."),
                                        QStringLiteral("N"));
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  QStringLiteral("Pace answers to N bit/s, 10 bits a byte "
                                                 "(default: unpaced)."),
                                  QStringLiteral("N"));
    const QCommandLineOption silent(QStringLiteral("silent"),
                                    QStringLiteral("Fault: answer nothing, store nothing."));
    const QCommandLineOption ignore(QStringLiteral("ignore"),
                                    QStringLiteral("Fault: neither answer nor carry out these "
                                                   "comma-separated hex codes (e.g. 28,87)."),
                                    QStringLiteral("CODES"));
    const QCommandLineOption ignoreWrites(
        QStringLiteral("ignore-writes"),
        QStringLiteral("Fault: acknowledge every write as taken, store nothing."));
    const QCommandLineOption split(QStringLiteral("split-ms"),
                                   QStringLiteral("Fault: pause N ms after the first ten bytes "
                                                  "of a read answer (half of a shorter one)."),
                                   QStringLiteral("N"));
    const QCommandLineOption badEnd(QStringLiteral("bad-end"),
                                    QStringLiteral("Fault: read answers lack the end byte 7F."));
    const QCommandLineOption wrongLength(
        QStringLiteral("wrong-length"),
        QStringLiteral("Fault: read answers one payload byte longer than expected."));
    const QCommandLineOption wrongLengthShort(
        QStringLiteral("wrong-length-short"),
        QStringLiteral("Fault: read answers one payload byte shorter than expected."));
    parser.addOptions({help, version, model, state, link, log, replyDelay, baud, silent, ignore,
                       ignoreWrites, split, badEnd, wrongLength, wrongLengthShort});

    if (!parser.parse(arguments))
        return error(parser.errorText());
    if (parser.isSet(version)) {
        ParsedArguments parsed;
        parsed.outcome = ParsedArguments::Outcome::Help;
        parsed.text = QStringLiteral("korvane-sim " KORVANE_VERSION "\n" KORVANE_COPYRIGHT);
        return parsed;
    }
    if (parser.isSet(help)) {
        ParsedArguments parsed;
        parsed.outcome = ParsedArguments::Outcome::Help;
        parsed.text = parser.helpText() + QLatin1Char('\n') + stateFileHelp();
        return parsed;
    }
    if (!parser.positionalArguments().isEmpty())
        return error(
            QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments()[0]));

    SimulatorOptions options;
    if (parser.isSet(state)) {
        QString message;
        if (!loadStateFile(parser.value(state), options.state, &message))
            return error(message);
    }
    if (parser.isSet(model)) {
        const auto m = modelFromLabel(parser.value(model));
        if (!m)
            return error(QStringLiteral("--model must be KORVANE or KORVANEA/B"));
        options.state.setModel(*m);
    }
    options.linkPath = parser.value(link);
    options.logFile = parser.value(log);
    constexpr int MaxMs = 600000;
    if (parser.isSet(replyDelay)) {
        const auto n = parseCount(parser.value(replyDelay), MaxMs);
        if (!n)
            return error(QStringLiteral("--reply-delay-ms needs 0 to %1").arg(MaxMs));
        options.replyDelayMs = *n;
    }
    if (parser.isSet(baud)) {
        const auto n = parseCount(parser.value(baud), 10000000);
        if (!n || *n == 0)
            return error(QStringLiteral("--baud needs a positive bit rate"));
        options.baud = *n;
    }
    if (parser.isSet(split)) {
        const auto n = parseCount(parser.value(split), MaxMs);
        if (!n)
            return error(QStringLiteral("--split-ms needs 0 to %1").arg(MaxMs));
        options.faults.splitMs = *n;
    }
    if (parser.isSet(ignore)) {
        const auto codes = parseCodeList(parser.value(ignore));
        if (!codes)
            return error(QStringLiteral("--ignore needs comma-separated hex codes, e.g. 28,87"));
        options.faults.ignoredCodes = *codes;
    }
    if (parser.isSet(wrongLength) && parser.isSet(wrongLengthShort))
        return error(QStringLiteral("--wrong-length and --wrong-length-short exclude each other"));
    options.faults.silent = parser.isSet(silent);
    options.faults.badEnd = parser.isSet(badEnd);
    options.faults.ignoreWrites = parser.isSet(ignoreWrites);
    if (parser.isSet(wrongLength))
        options.faults.wrongLength = SimulatorFaults::Length::OneLonger;
    if (parser.isSet(wrongLengthShort))
        options.faults.wrongLength = SimulatorFaults::Length::OneShorter;

    ParsedArguments parsed;
    parsed.outcome = ParsedArguments::Outcome::Run;
    parsed.options = std::move(options);
    return parsed;
}

} // namespace korvane::sim
