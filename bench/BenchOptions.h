// SPDX-License-Identifier: MIT
#pragma once
// What korvane-bench is run with, and its command line.

#include <QString>
#include <QStringList>

namespace korvane::bench {

struct BenchOptions {
    int count = 30;       // timed transactions per command and model
    int replyDelayMs = 5; // the simulator's pause before each answer
    int baud = 9600;      // line rate of the port and of the simulator's pacing
    int idleMs = 10000;   // how long the idle port is watched; 0 skips it
    bool warmUp = true;   // one untimed read before the timed ones
    bool detail = false;  // also show where each row's slowest transaction spent its time
};

struct ParsedBenchArguments {
    enum class Outcome { Run, Help, Error };
    Outcome outcome = Outcome::Error;
    BenchOptions options; // Run: ready to use
    QString text;         // Help: the help text; Error: what is wrong
};

// arguments[0] is the program name.
ParsedBenchArguments parseBenchArguments(const QStringList& arguments);

} // namespace korvane::bench
