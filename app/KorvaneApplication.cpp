// SPDX-License-Identifier: MIT
#include "app/KorvaneApplication.h"

#include <QByteArray>
#include <QDir>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace korvane {

KorvaneApplication::KorvaneApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool KorvaneApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        if (m_handler)
            m_handler(QString::fromUtf8(e.what()));
    } catch (...) {
        if (m_handler)
            m_handler(QStringLiteral("未知错误"));
    }
    return false;
}

bool hasDisplay() {
#if defined(_WIN32)
    return true; // a Windows session always has its desktop
#else
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return true;
    return !qgetenv("DISPLAY").isEmpty() || !qgetenv("WAYLAND_DISPLAY").isEmpty();
#endif
}

QString userWorkingFolder() {
#if defined(_WIN32)
    // %LOCALAPPDATA%
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Korvane");
#else
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (!QDir::isAbsolutePath(data))
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/korvane");
#endif
}

void useParentConsole() {
#if defined(_WIN32)
    if (GetFileType(GetStdHandle(STD_OUTPUT_HANDLE)) != FILE_TYPE_UNKNOWN)
        return; // redirected, or a console already
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        std::freopen("CONOUT$", "w", stdout);
        std::freopen("CONOUT$", "w", stderr);
    }
#endif
}

} // namespace korvane
