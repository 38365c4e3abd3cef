// korvane: the configuration tool for the Korvane paging trunk distributor.

#include "app/KorvaneApplication.h"
#include "ui/MainWindow.h"
#include "config/KorvaneError.h"
#include "ui/PortSettingsDialog.h"
#include "ui/MonitorWindow.h"

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

    korvane::TfrmKorvane frmKorvane;
    korvane::TfrmSetPort frmSetPort(&frmKorvane);
    korvane::TfrmTerminal frmTerminal; // hidden until opened from the device group
    frmKorvane.AttachPortDialog(&frmSetPort);
    frmKorvane.AttachMonitor(&frmTerminal);
    app.SetErrorHandler([&frmKorvane](const QString& message) {
        frmKorvane.RunAction([&message] { throw korvane::KorvaneError(message); });
    });
    frmKorvane.show();
    return app.exec();
}
