// SPDX-License-Identifier: MIT
#include "cli/PortListFile.h"

#include <QFile>
#include <QRegularExpression>

namespace korvane::cli {

std::optional<QStringList> readPortListFile(const QString& path, QString* problem) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("无法读取端口列表 %1（%2）").arg(path, file.errorString());
        return std::nullopt;
    }
    static const QRegularExpression comment(QStringLiteral("(^|\\s)#.*$"));
    QStringList names;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString& line : lines) {
        const QString name = QString(line).remove(comment).trimmed();
        if (!name.isEmpty())
            names.append(name);
    }
    if (names.isEmpty()) {
        *problem = QStringLiteral("端口列表 %1 中没有端口").arg(path);
        return std::nullopt;
    }
    return names;
}

} // namespace korvane::cli
