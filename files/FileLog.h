// SPDX-License-Identifier: MIT
#pragma once
// Traces of the file layer: files read (with their size, or why not) and saved.
// Silent unless switched on, for example QT_LOGGING_RULES="korvane.files.debug=true".

#include <QLoggingCategory>

namespace korvane {

Q_DECLARE_LOGGING_CATEGORY(fileLog)

} // namespace korvane
