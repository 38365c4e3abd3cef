// SPDX-License-Identifier: MIT
#pragma once
// A device on a pseudo-terminal and everything a device procedure needs beside it:
// the simulator, the transport opened on its port, a configuration and a recording
// operator.

#include "config/DeviceConfiguration.h"
#include "link/CommandTransport.h"
#include "link/SerialPort.h"
#include "protocol/DeviceProcedures.h"
#include "sim/SimulatorHost.h"
#include "tests/support/RecordingOperator.h"

#include <QTest>

#include <cstdint>
#include <memory>

namespace korvane::test {

// The transport's time limit in tests: far above any answer of the simulator on a
// loaded machine (it answers within milliseconds, a few tens under the sanitizers),
// a tenth of the product's 5 s, so a silent device costs little.
constexpr int TestTimeLimitMs = 500;

// The block gap in tests not about it: the simulator writes an answer at once, so a
// fifth of the product's gap ends the block as surely and each transaction costs less.
constexpr std::uint32_t TestBlockGapMs = 20;

// For every transport made after it, also those made inside the window and korvanectl.
inline void shortenBlockGap() {
    CommandTransport::setBlockGapMsForTests(TestBlockGapMs);
}

// The command codes of the frames the device received, in order.
inline QList<int> ReceivedCodes(const sim::SimulatorHost& sim) {
    QList<int> codes;
    for (const ByteBuffer& f : sim.framesReceived())
        codes.append(f.size() > 1 ? f[1] : -1);
    return codes;
}

class DeviceFixture {
public:
    explicit DeviceFixture(sim::SimulatorOptions options = {}) {
        port = sim.start(options);
        if (port.isEmpty())
            qFatal("simulator did not start: %s", qPrintable(sim.errorString()));
        transport.setTimeLimitMs(TestTimeLimitMs);
        transport.comm().setReadIntervalTimeout(TestBlockGapMs);
        transport.comm().setCommName(port);
        transport.comm().openPort();
        procedures = std::make_unique<DeviceProcedures>(config, transport, ui);
        ui.observe(*procedures, config);
    }

    QList<int> ReceivedCodes() const { return test::ReceivedCodes(sim); }

    sim::SimulatorHost sim;
    QString port;
    CommandTransport transport;
    DeviceConfiguration config;
    RecordingOperator ui;
    std::unique_ptr<DeviceProcedures> procedures;
};

inline sim::SimulatorOptions ModelOptions(sim::Model model) {
    sim::SimulatorOptions o;
    o.state.setModel(model);
    return o;
}

} // namespace korvane::test
