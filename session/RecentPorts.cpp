// SPDX-License-Identifier: MIT
#include "session/RecentPorts.h"

#include "files/IniFile.h"
#include "link/NetworkPortName.h"

namespace korvane {

namespace {

const QString Section = QStringLiteral("Setting");
const QString Key = QStringLiteral("RecentPorts");
constexpr QChar Separator = u'|';

} // namespace

QStringList readRecentPorts(const IniFile& settings) {
    QStringList recent;
    for (const QString& name : settings.readString(Section, Key, {}).split(Separator)) {
        if (!name.trimmed().isEmpty() && !recent.contains(name.trimmed()) &&
            recent.size() < MaxRecentPorts)
            recent.append(name.trimmed());
    }
    return recent;
}

QStringList withRecentPort(QStringList recent, const QString& name) {
    const QString trimmed = name.trimmed();
    if (!isNetworkPortName(trimmed) || trimmed.contains(Separator))
        return recent;
    recent.removeAll(trimmed);
    recent.prepend(trimmed);
    while (recent.size() > MaxRecentPorts)
        recent.removeLast();
    return recent;
}

void writeRecentPorts(IniFile& settings, const QStringList& recent) {
    settings.writeString(Section, Key, recent.join(Separator));
}

} // namespace korvane
