// SPDX-License-Identifier: MIT
#pragma once
// korvanectl as a function: parses the arguments, runs the command on every port at
// once and reports. Needs a QCoreApplication; returns the exit status.

#include <QStringList>

namespace korvane::cli {

class Console;

// arguments[0] is the program name.
int runKorvanectl(const QStringList& arguments, Console& console);

} // namespace korvane::cli
