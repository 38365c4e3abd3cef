// korvane: the configuration tool for the Korvane paging trunk distributor.

#include "app/KorvaneApplication.h"
#include "config/KorvaneError.h"
#include "ui/MainWindow.h"
#include "ui/MonitorWindow.h"
#include "ui/PortSettingsDialog.h"

#include <QFileInfo>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (!korvane::HasDisplay()) {
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
    mainWindow.AttachPortDialog(&portSettingsDialog);
    mainWindow.AttachMonitor(&monitorWindow);
    app.SetErrorHandler([&mainWindow](const QString& message) {
        mainWindow.RunAction([&message] { throw korvane::KorvaneError(message); });
    });
    mainWindow.show();
    return app.exec();
}
