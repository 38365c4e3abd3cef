// SPDX-License-Identifier: MIT
// korvane-bench-cli: how long `korvanectl read` takes for 1, 4, 8 and 24 simulated devices
// at once, each against the one-device time; then the same devices each behind its own
// ser2net connection (RFC 2217, on 127.0.0.1). The ports run concurrently, so the rack
// should take about as long as one device. One device's read is also set against its
// floor: the time the line, the device and the transport's block gap must take.

#include "cli/Console.h"
#include "cli/Korvanectl.h"
#include "sim/SimulatorHost.h"
#include "tests/support/Ser2NetServer.h"

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
// Behind ser2net: all 24 within this much of one.
constexpr double NetworkTargetRatio = 1.1;
constexpr double FloorTargetRatio = 1.1;
// The transport takes an answer as ended after this long without a byte.
constexpr int BlockGapMs = 100;

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

// The median wall time of `read` on the ports, or -1 on a failure.
double medianReadMs(const QStringList& ports) {
    QStringList args{QStringLiteral("korvanectl")};
    for (const QString& port : ports)
        args << QStringLiteral("--port") << port;
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

// What one device's read cannot take less than, from the frames the simulator logged:
// every frame's wire time at the line's rate (10 bits a byte), and per request the
// device's reply delay and one block gap.
double floorMs(const sim::SimulatorHost& sim) {
    double ms = 0;
    for (const sim::LoggedFrame& frame : sim.frameLog()) {
        ms += double(frame.bytes.size()) * 10 * 1000 / Baud;
        if (frame.direction == sim::LoggedFrame::Direction::Received)
            ms += ReplyDelayMs + BlockGapMs;
    }
    return ms;
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
    QStringList local;
    for (const auto& s : sims)
        local.append(s->slavePath());
    std::printf("%8s %12s %10s\n", "devices", "median ms", "x one");
    double one = 0;
    bool pass = true;
    for (int count : Racks) {
        const double ms = medianReadMs(local.mid(0, count));
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
    // The frames of one device's read, logged alone.
    sims[0]->clearFrameLog();
    {
        NullConsole console;
        if (cli::runKorvanectl({QStringLiteral("korvanectl"), QStringLiteral("--port"),
                                sims[0]->slavePath(), QStringLiteral("--baud"),
                                QString::number(Baud), QStringLiteral("read")},
                               console) != 0)
            return 1;
    }
    const double floorTime = floorMs(*sims[0]);
    const double floorRatio = one / floorTime;
    std::printf("one device: %.1f ms, floor %.1f ms (%d frames): %.3f x the floor, target %.1f\n",
                one, floorTime, int(sims[0]->frameLog().size()), floorRatio, FloorTargetRatio);
    pass = pass && floorRatio <= FloorTargetRatio;
    std::printf("%s\n", pass ? "PASS" : "FAIL");

    // The same devices behind ser2net, one connection each.
    test::Ser2NetServer server;
    if (!server.start(local, test::Ser2NetServer::Mode::Rfc2217)) {
        std::fprintf(stderr, "ser2net: %s\n", qPrintable(server.errorString()));
        return 1;
    }
    QStringList network;
    for (qsizetype i = 0; i < local.size(); ++i)
        network.append(server.portName(std::size_t(i)));
    std::printf("\nThe same through ser2net (telnet(rfc2217),tcp(nodelay), chardelay off), one "
                "connection each; target: %d devices within %.1f x one device\n",
                int(network.size()), NetworkTargetRatio);
    std::printf("%8s %12s %10s\n", "devices", "median ms", "x one");
    double networkOne = 0;
    bool networkPass = true;
    for (int count : {1, int(network.size())}) {
        const double ms = medianReadMs(network.mid(0, count));
        if (ms < 0) {
            std::printf("%8d  a device failed\n", count);
            return 1;
        }
        if (count == 1)
            networkOne = ms;
        else
            networkPass = ms / networkOne <= NetworkTargetRatio;
        std::printf("%8d %12.1f %10.3f\n", count, ms, ms / networkOne);
    }
    std::printf("%s\n", networkPass ? "PASS" : "FAIL");
    return 0;
}
