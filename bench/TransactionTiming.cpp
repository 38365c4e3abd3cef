// SPDX-License-Identifier: MIT
#include "bench/TransactionTiming.h"

#include "link/CommandTransport.h"
#include "protocol/Commands.h"
#include "sim/SimulatorHost.h"

#include <algorithm>
#include <exception>
#include <optional>

namespace korvane::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t RequestLength = 3;
constexpr double BitsPerByte = 10;

struct Sample {
    double totalMs = 0;
    std::size_t rawLength = 0;
    TimeSplit split;
};

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

QString codeText(std::uint8_t code) {
    return QStringLiteral("0x") +
           QString::number(code, 16).rightJustified(2, QLatin1Char('0')).toUpper();
}

// The simulator's log holds the request and the answer of the one transaction.
void splitFromLog(const QList<sim::LoggedFrame>& log, Clock::time_point zero,
                  Clock::time_point sent, Clock::time_point delivered, Clock::time_point done,
                  double byteMs, TimeSplit& split) {
    split.handoff = msBetween(delivered, done);
    const auto received = std::find_if(log.begin(), log.end(), [](const sim::LoggedFrame& f) {
        return f.direction == sim::LoggedFrame::Direction::Received;
    });
    const auto answered = std::find_if(log.begin(), log.end(), [](const sim::LoggedFrame& f) {
        return f.direction == sim::LoggedFrame::Direction::Sent;
    });
    if (received == log.end() || answered == log.end())
        return;
    const double sentMs = msBetween(zero, sent);
    const double receivedMs = double(received->msecs);
    const double answeredMs = double(answered->msecs);
    split.known = true;
    split.request = receivedMs - sentMs;
    split.device = answeredMs - receivedMs;
    split.port = msBetween(zero, delivered) - (answeredMs - byteMs);
}

// One read transaction, checked as the device procedures check it.
std::optional<Sample> transact(CommandTransport& transport, sim::SimulatorHost& simulator,
                               Clock::time_point zero, std::uint8_t code, const QString& model,
                               double byteMs, QString& error) {
    const ByteBuffer request = readRequest(code);
    simulator.clearFrameLog();
    PortLink& port = transport.link();
    const ReceiveDataHandler inner = port.dataReceived;
    std::optional<Clock::time_point> delivered;
    port.dataReceived = [&](const std::uint8_t* buffer, std::uint16_t count) {
        delivered = Clock::now();
        inner(buffer, count);
    };
    const Clock::time_point sent = Clock::now();
    const std::optional<ByteBuffer> raw = transport.transact(request);
    const Clock::time_point done = Clock::now();
    port.dataReceived = inner;

    try {
        const ReadResponse checked =
            checkReadResponse(code, model, raw ? std::optional(std::span(*raw)) : std::nullopt);
        if (!checked.isOk()) {
            error = raw ? QStringLiteral("answer refused (%1 raw bytes): %2")
                              .arg(raw->size())
                              .arg(checked.error->text)
                        : QStringLiteral("no answer");
            return std::nullopt;
        }
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
        return std::nullopt;
    }
    Sample sample;
    sample.totalMs = msBetween(sent, done);
    sample.rawLength = raw->size();
    if (delivered)
        splitFromLog(simulator.frameLog(), zero, sent, *delivered, done, byteMs, sample.split);
    return sample;
}

} // namespace

double floorMs(std::size_t answerRawLength, const BenchOptions& options,
               std::uint32_t readIntervalMs) {
    const double byteMs = BitsPerByte * 1000.0 / options.baud;
    return double(RequestLength + answerRawLength) * byteMs + options.replyDelayMs + readIntervalMs;
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 != 0 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

TimingRun runTransactionTimings(sim::SimulatorHost& simulator, const BenchOptions& options,
                                Clock::time_point simulatorStarted, const QString& portName) {
    TimingRun run;
    CommandTransport transport;
    SerialPort& port = transport.comm();
    port.setCommName(portName.isEmpty() ? simulator.slavePath() : portName);
    port.setBaudRate(static_cast<std::uint32_t>(options.baud));
    port.setByteSize(DataBits::_8);
    port.setParity(ParityMode::None);
    port.setStopBits(StopBitsMode::_1);
    run.readIntervalMs = port.readIntervalTimeout();
    try {
        transport.openPort();
    } catch (const KorvaneError& e) {
        run.error = QStringLiteral("cannot open %1: %2 %3 (error %4)")
                        .arg(port.commName(), QString::fromUtf8(e.what()), e.reason())
                        .arg(e.systemError());
        return run;
    }
    const double byteMs = BitsPerByte * 1000.0 / options.baud;

    for (const sim::Model model : {sim::Model::Korvane, sim::Model::KorvaneAB}) {
        simulator.setState(sim::DeviceState::initial(model));
        const QString label = sim::modelLabel(model);
        QString error;
        if (options.warmUp && !transact(transport, simulator, simulatorStarted, BenchedCommands[0],
                                        label, byteMs, error)) {
            run.error = QStringLiteral("%1 warm-up read: %2").arg(label, error);
            return run;
        }
        for (const std::uint8_t code : BenchedCommands) {
            std::vector<double> totals;
            TimingRow row;
            row.model = label;
            row.code = code;
            for (int i = 0; i < options.count; ++i) {
                const std::optional<Sample> sample =
                    transact(transport, simulator, simulatorStarted, code, label, byteMs, error);
                if (!sample) {
                    run.error = QStringLiteral("%1 %2, transaction %3: %4")
                                    .arg(label, codeText(code))
                                    .arg(i + 1)
                                    .arg(error);
                    return run;
                }
                if (i > 0 && sample->rawLength != row.rawLength) {
                    run.error = QStringLiteral("%1 %2: answer length changed from %3 to %4")
                                    .arg(label, codeText(code))
                                    .arg(row.rawLength)
                                    .arg(sample->rawLength);
                    return run;
                }
                row.rawLength = sample->rawLength;
                row.worstHandoffMs = std::max(row.worstHandoffMs, sample->split.handoff);
                if (totals.empty() || sample->totalMs > row.worstMs) {
                    row.worstMs = sample->totalMs;
                    row.worstSplit = sample->split;
                }
                totals.push_back(sample->totalMs);
            }
            row.floorMs = floorMs(row.rawLength, options, run.readIntervalMs);
            row.medianMs = median(std::move(totals));
            run.rows.push_back(row);
        }
    }
    return run;
}

} // namespace korvane::bench
