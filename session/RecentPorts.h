// SPDX-License-Identifier: MIT
#pragma once
// The network ports used before, newest first, kept in the settings file under
// [Setting] RecentPorts (names separated by "|"), so that the port dialog offers them:
// network ports are typed, never detected.

#include <QStringList>

namespace korvane {

class IniFile;

inline constexpr int MaxRecentPorts = 8;

// The names stored; a missing key gives none.
QStringList readRecentPorts(const IniFile& settings);
// The list with name first, once, at most MaxRecentPorts long. A name that is no
// network port, or one with the separator in it, leaves the list as it is.
QStringList withRecentPort(QStringList recent, const QString& name);
// Stores the list. Throws KorvaneError as IniFile does.
void writeRecentPorts(IniFile& settings, const QStringList& recent);

} // namespace korvane
