// SPDX-License-Identifier: MIT
// korvane: the configuration tool for the Korvane paging trunk distributor.

#include "KorvaneVersion.h"
#include "app/KorvaneApplication.h"
#include "config/KorvaneError.h"
#include "ui/MainWindow.h"
#include "ui/MonitorWindow.h"
#include "ui/PortSettingsDialog.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

const char* const Help =
    "Usage: korvane [--user-folder] [FILE.krv] [Qt options]\n"
    "       korvane --help | --version\n"
    "\n"
    "The configuration window of the Korvane paging trunk distributor: identifies the\n"
    "device on a serial port, reads, edits and writes its parameters, and saves and loads\n"
    "configuration files.\n"
    "\n"
    "The settings are the KORVANE.INI of the working folder, and files are saved there by\n"
    "default. That is the current directory, or with --user-folder a folder of the user's\n"
    "own, made on first use: $XDG_DATA_HOME/korvane (~/.local/share/korvane) on Linux,\n"
    "%LOCALAPPDATA%\\Korvane on Windows. The menu entry starts it that way.\n"
    "\n"
    "Options:\n"
    "  FILE.krv       load this configuration file once the window is up, as the menu\n"
    "                 entry \"读入配置文件\" does\n"
    "  --user-folder  work in the user's own folder (above)\n"
    "  -h, --help     this help\n"
    "  --version      the version of korvane\n";

} // namespace

int main(int argc, char* argv[]) {
    // Answered before the display check, so they work on any terminal.
    for (int i = 1; i < argc; ++i) {
        const bool version = std::strcmp(argv[i], "--version") == 0;
        if (version || std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            korvane::useParentConsole();
            std::fputs(version ? "korvane " KORVANE_VERSION "\n" KORVANE_COPYRIGHT : Help, stdout);
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

    // Qt has taken its own options out of the arguments by now.
    bool userFolder = false;
    QString file;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--user-folder")) {
            userFolder = true;
        } else if (argument.startsWith(u'-') || !file.isEmpty()) {
            korvane::useParentConsole();
            std::fprintf(stderr, "korvane: unexpected argument %s; korvane --help lists them\n",
                         qPrintable(argument));
            return 2;
        } else {
            // Taken before the working folder changes; the file's own folder does not
            // become the working folder.
            file = QFileInfo(argument).absoluteFilePath();
        }
    }
    if (userFolder) {
        const QString folder = korvane::userWorkingFolder();
        if (!QDir().mkpath(folder) || !QDir::setCurrent(folder)) {
            QMessageBox::critical(
                nullptr, QStringLiteral("Korvane"),
                QStringLiteral("无法使用工作文件夹 %1。").arg(QDir::toNativeSeparators(folder)));
            return 1;
        }
    }

    korvane::MainWindow mainWindow;
    korvane::PortSettingsDialog portSettingsDialog(&mainWindow);
    korvane::MonitorWindow monitorWindow; // hidden until opened from the device group
    mainWindow.attachPortDialog(&portSettingsDialog);
    mainWindow.attachMonitor(&monitorWindow);
    app.setErrorHandler([&mainWindow](const QString& message) {
        mainWindow.runAction([&message] { throw korvane::KorvaneError(message); });
    });
    mainWindow.show();
    if (!file.isEmpty())
        QTimer::singleShot(0, &mainWindow,
                           [&mainWindow, &file] { mainWindow.loadConfigurationFile(file); });
    return app.exec();
}
