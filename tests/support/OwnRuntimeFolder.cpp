// SPDX-License-Identifier: MIT
// Every test program has a runtime folder of its own from before its first test: the
// simulators it starts announce themselves there and the port lists it makes see only
// those. The user's real runtime folder is never read, nor left with the
// announcement of a simulator that a failing test did not stop.

#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

namespace {

struct OwnRuntimeFolder {
    QTemporaryDir folder; // mode 0700, as a runtime folder must be

    OwnRuntimeFolder() {
        if (!folder.isValid())
            qFatal("no runtime folder of the test's own: %s", qPrintable(folder.errorString()));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder.path()));
    }
};

const OwnRuntimeFolder ownRuntimeFolder;

} // namespace
