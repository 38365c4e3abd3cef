// korvanectl: the device procedures from the command line, for one device or a rack.

#include "cli/Console.h"
#include "cli/Korvanectl.h"

#include <QCoreApplication>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korvanectl"));
    korvane::cli::StdConsole console;
    return korvane::cli::RunKorvanectl(QCoreApplication::arguments(), console);
}
