// SPDX-License-Identifier: MIT
// korvanectl: the device procedures from the command line, for one device or a rack.

#include "cli/Console.h"
#include "cli/Interrupt.h"
#include "cli/Korvanectl.h"

#include <QCoreApplication>

#if defined(_WIN32)
#include <windows.h>
#endif

int main(int argc, char* argv[]) {
#if defined(_WIN32)
    // Messages are written as UTF-8; the console shows them as such.
    ::SetConsoleOutputCP(CP_UTF8);
#endif
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvanectl"));
    korvane::cli::installInterruptHandlers();
    korvane::cli::StdConsole console;
    return korvane::cli::runKorvanectl(QCoreApplication::arguments(), console);
}
