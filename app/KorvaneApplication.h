// SPDX-License-Identifier: MIT
#pragma once
// The application object. Its notify() is the last line of defence: an exception that
// escaped an event handler is shown as an error instead of crossing the event loop.

#include <QApplication>

#include <functional>

namespace korvane {

class KorvaneApplication : public QApplication {
public:
    KorvaneApplication(int& argc, char** argv);

    void setErrorHandler(std::function<void(const QString&)> handler) {
        m_handler = std::move(handler);
    }

    bool notify(QObject* receiver, QEvent* event) override;

private:
    std::function<void(const QString&)> m_handler;
};

// True when a window can be shown: a display server is named, or a platform that
// needs none (offscreen, minimal) was chosen.
bool hasDisplay();

// The working folder of the user's own that --user-folder chooses:
// %LOCALAPPDATA%\Korvane on Windows, $XDG_DATA_HOME/korvane on Linux (an unset or
// relative XDG_DATA_HOME means ~/.local/share). It may not exist yet.
QString userWorkingFolder();

// Windows: a window program has no console; when started from one with its output not
// redirected, standard output and error go to that console. Elsewhere nothing.
void useParentConsole();

} // namespace korvane
