// SPDX-License-Identifier: MIT
#include "link/CommDevicePath.h"

namespace korvane {

#if defined(_WIN32)

QString commDevicePath(const QString& commName) {
    const QString name = commName.trimmed();
    if (name.isEmpty() || name.contains(QLatin1Char('\\')) || name.contains(QLatin1Char('/')))
        return name;
    return QStringLiteral("\\\\.\\") + name;
}

#else

namespace {

// The n of "COMn" (n >= 1, no leading zero), or 0 when the name is not of that form.
int comNumber(const QString& name) {
    if (name.size() < 4 || !name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        return 0;
    const QStringView digits = QStringView(name).mid(3);
    if (digits.front() == QLatin1Char('0'))
        return 0;
    for (QChar c : digits)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
    bool ok = false;
    const int number = digits.toInt(&ok);
    return ok ? number : 0;
}

} // namespace

QString commDevicePath(const QString& commName) {
    QString name = commName.trimmed();
    if (name.startsWith(QLatin1String("\\\\.\\")))
        name.remove(0, 4);
    if (name.isEmpty())
        return {};
    if (name.contains(QLatin1Char('/')))
        return name;
    if (const int number = comNumber(name); number > 0)
        return QStringLiteral("/dev/ttyS%1").arg(number - 1);
    return QStringLiteral("/dev/") + name;
}

#endif

} // namespace korvane
