// SPDX-License-Identifier: MIT
#include "link/PortListing.h"

#include <QDir>
#include <QFileInfo>

namespace korvane {

QString portListText(const DetectedPort& port) {
    if (port.description.isEmpty())
        return port.name;
    QString text = port.name + QStringLiteral(" — ") + port.description;
    if (!port.manufacturer.isEmpty())
        text += QStringLiteral(" (") + port.manufacturer + QLatin1Char(')');
    return text;
}

QString stablePortPath(const QString& systemPath, const QString& byIdFolder) {
    const QString target = QFileInfo(systemPath).canonicalFilePath();
    if (target.isEmpty())
        return {};
    const QDir folder(byIdFolder);
    for (const QFileInfo& entry : folder.entryInfoList(QDir::System | QDir::Files, QDir::Name)) {
        if (entry.isSymLink() && entry.canonicalFilePath() == target)
            return entry.absoluteFilePath();
    }
    return {};
}

} // namespace korvane
