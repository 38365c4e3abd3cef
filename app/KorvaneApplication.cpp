#include "app/KorvaneApplication.h"

#include <QByteArray>

#include <cstdlib>

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

} // namespace korvane
