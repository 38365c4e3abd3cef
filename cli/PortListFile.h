// SPDX-License-Identifier: MIT
#pragma once
// A rack list for --ports-from: one port name a line, blank lines and comments (from
// a "#" at the start of a line or after a blank) skipped, in UTF-8.

#include <QString>
#include <QStringList>

#include <optional>

namespace korvane::cli {

// The names, in order; nothing, with why in *problem, when the file cannot be read or
// holds no name.
std::optional<QStringList> readPortListFile(const QString& path, QString* problem);

} // namespace korvane::cli
