// korvane: the configuration tool for the Korvane paging trunk distributor.

#include "KorvaneVersion.h"
#include "app/KorvaneApplication.h"
#include "config/KorvaneError.h"
#include "ui/MainWindow.h"
#include "ui/MonitorWindow.h"
#include "ui/PortSettingsDialog.h"

#include <QFileInfo>

#include <cstdio>
#include <cstring>

namespace {

const char* const Help =
    "Usage: korvane [--help] [--version] [Qt options]\n"
    "\n"
    "The configuration window of the Korvane paging trunk distributor: identifies the\n"
    "device on a serial port, reads, edits and writes its parameters, and saves and loads\n"
    "configuration files.\n"
    "\n"
    "The settings are the KORVANE.INI of the current working directory, and files are\n"
    "saved there by default. The menu entry starts it in ~/.local/share/korvane\n"
    "($XDG_DATA_HOME/korvane).\n"
    "\n"
    "Options:\n"
    "  -h, --help   this help\n"
    "  --version    the version of korvane\n";

} // namespace

int main(int argc, char* argv[]) {
    // Answered before the display check, so they work on any terminal.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("korvane " KORVANE_VERSION);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Help, stdout);
            return 0;
        }
    }
    if (!korvane::hasDisplay()) {
        std::fputs("korvane: no display. This is a window program; start it on a desktop, or\n"
                   "under a virtual display: xvfb-run -a korvane\n",
                   stderr);
        return 2;
    }
    korvane::KorvaneApplication app(argc, argv);
    QCoreApplication::setApplicationName(
        QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName());

    korvane::MainWindow mainWindow;
    korvane::PortSettingsDialog portSettingsDialog(&mainWindow);
    korvane::MonitorWindow monitorWindow; // hidden until opened from the device group
    mainWindow.attachPortDialog(&portSettingsDialog);
    mainWindow.attachMonitor(&monitorWindow);
    app.setErrorHandler([&mainWindow](const QString& message) {
        mainWindow.runAction([&message] { throw korvane::KorvaneError(message); });
    });
    mainWindow.show();
    return app.exec();
}
