// SPDX-License-Identifier: MIT
// korvane-bench-cli: how long `korvanectl read` takes for 1, 4, 8 and 24 simulated devices
// at once, each against the one-device time. The ports run concurrently, so the rack
// should take about as long as one device.

#include "cli/Console.h"
#include "cli/Korvanectl.h"
#include "sim/SimulatorHost.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace korvane;

namespace {

constexpr int Baud = 9600;
constexpr int ReplyDelayMs = 5;
constexpr int Repeats = 5;
constexpr double TargetRatio = 1.2;
constexpr int Racks[] = {1, 4, 8, 24};
constexpr int TargetRack = 8; // the target; 24 is shown beside it

// Output is thrown away; only the time and the exit status count.
class NullConsole : public cli::Console {
public:
    bool errIsTerminal() const override { return false; }
    bool outIsTerminal() const override { return false; }
    QByteArray readIn() override { return {}; }

protected:
    void writeOut(const QByteArray&) override {}
    void writeErr(const QByteArray& bytes) override { std::fputs(bytes.constData(), stderr); }
};

// The median wall time of `read` on the first count simulators, or -1 on a failure.
double MedianReadMs(const std::vector<std::unique_ptr<sim::SimulatorHost>>& sims, int count) {
    QStringList args{QStringLiteral("korvanectl")};
    for (int i = 0; i < count; ++i)
        args << QStringLiteral("--port") << sims[std::size_t(i)]->slavePath();
    args << QStringLiteral("--baud") << QString::number(Baud) << QStringLiteral("--json")
         << QStringLiteral("read");
    std::vector<double> times;
    for (int r = 0; r < Repeats; ++r) {
        NullConsole console;
        QElapsedTimer timer;
        timer.start();
        if (cli::runKorvanectl(args, console) != 0)
            return -1;
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    std::vector<std::unique_ptr<sim::SimulatorHost>> sims;
    for (int i = 0; i < Racks[std::size(Racks) - 1]; ++i) {
        sim::SimulatorOptions options;
        options.state.serialNumber = std::uint32_t(200001 + i);
        options.baud = Baud;
        options.replyDelayMs = ReplyDelayMs;
        auto host = std::make_unique<sim::SimulatorHost>();
        if (host->start(options).isEmpty()) {
            std::fprintf(stderr, "simulator did not start: %s\n", qPrintable(host->errorString()));
            return 1;
        }
        sims.push_back(std::move(host));
    }

    std::printf("korvanectl read: %d simulated KORVANE devices paced to %d bit/s, reply delay "
                "%d ms; median of %d runs; target: 8 devices within %.1f x one device\n",
                int(sims.size()), Baud, ReplyDelayMs, Repeats, TargetRatio);
    std::printf("%8s %12s %10s\n", "devices", "median ms", "x one");
    double one = 0;
    bool pass = true;
    for (int count : Racks) {
        const double ms = MedianReadMs(sims, count);
        if (ms < 0) {
            std::printf("%8d  a device failed\n", count);
            return 1;
        }
        if (count == 1)
            one = ms;
        const double ratio = ms / one;
        if (count == TargetRack)
            pass = ratio <= TargetRatio;
        std::printf("%8d %12.1f %10.3f\n", count, ms, ratio);
    }
    std::printf("%s\n", pass ? "PASS" : "FAIL");
    return 0;
}
