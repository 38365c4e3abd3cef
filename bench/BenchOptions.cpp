// SPDX-License-Identifier: MIT
#include "bench/BenchOptions.h"

#include <QCommandLineParser>

#include <optional>

namespace korvane::bench {
namespace {

std::optional<int> parseNumber(const QString& text, int min, int max) {
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < min || n > max)
        return std::nullopt;
    return n;
}

ParsedBenchArguments error(const QString& message) {
    ParsedBenchArguments parsed;
    parsed.outcome = ParsedBenchArguments::Outcome::Error;
    parsed.text = message;
    return parsed;
}

} // namespace

ParsedBenchArguments parseBenchArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Times the six read transactions against the simulated device on a pseudo-terminal, "
        "for both models, and compares each with the least time the line allows: request "
        "and answer at 10 bits a byte, the reply delay, and the read interval that ends a "
        "read. Then measures the CPU time an open, idle port uses.\n"
        "Exit status: 0 when every transaction was answered (whatever the timings), 1 when "
        "something did not work, 2 on a bad command line."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    const QCommandLineOption count(
        QStringLiteral("count"),
        QStringLiteral("Timed transactions per command and model (1-10000, default 30)."),
        QStringLiteral("N"));
    const QCommandLineOption replyDelay(
        QStringLiteral("reply-delay-ms"),
        QStringLiteral("Simulator's pause before each answer (0-10000, default 5)."),
        QStringLiteral("MS"));
    const QCommandLineOption baud(
        QStringLiteral("baud"),
        QStringLiteral("Line rate in bit/s for port and simulator (300-4000000, default 9600)."),
        QStringLiteral("N"));
    const QCommandLineOption idle(
        QStringLiteral("idle-ms"),
        QStringLiteral("How long the idle port is watched (0-3600000, default 10000; 0 skips)."),
        QStringLiteral("MS"));
    const QCommandLineOption noWarmUp(QStringLiteral("no-warm-up"),
                                      QStringLiteral("Time from the very first transaction."));
    const QCommandLineOption detail(
        QStringLiteral("detail"),
        QStringLiteral("Also show where each row's slowest transaction spent its time."));
    parser.addOptions({help, count, replyDelay, baud, idle, noWarmUp, detail});

    if (!parser.parse(arguments))
        return error(parser.errorText());
    if (parser.isSet(help)) {
        ParsedBenchArguments parsed;
        parsed.outcome = ParsedBenchArguments::Outcome::Help;
        parsed.text = parser.helpText();
        return parsed;
    }
    if (!parser.positionalArguments().isEmpty())
        return error(
            QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments()[0]));

    BenchOptions options;
    struct Field {
        const QCommandLineOption& option;
        int& value;
        int min;
        int max;
    };
    const Field fields[] = {
        {count, options.count, 1, 10000},
        {replyDelay, options.replyDelayMs, 0, 10000},
        {baud, options.baud, 300, 4000000},
        {idle, options.idleMs, 0, 3600000},
    };
    for (const Field& f : fields) {
        if (!parser.isSet(f.option))
            continue;
        const auto n = parseNumber(parser.value(f.option), f.min, f.max);
        if (!n)
            return error(QStringLiteral("--%1 must be a whole number from %2 to %3")
                             .arg(f.option.names().constFirst())
                             .arg(f.min)
                             .arg(f.max));
        f.value = *n;
    }
    options.warmUp = !parser.isSet(noWarmUp);
    options.detail = parser.isSet(detail);

    ParsedBenchArguments parsed;
    parsed.outcome = ParsedBenchArguments::Outcome::Run;
    parsed.options = options;
    return parsed;
}

} // namespace korvane::bench
