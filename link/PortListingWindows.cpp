#include "link/PortListing.h"

#include <QMap>
#include <QRegularExpression>

#include <windows.h>

#include <vector>

namespace korvane {

QStringList candidatePorts(bool) {
    std::vector<wchar_t> names(1 << 16);
    const DWORD length = ::QueryDosDeviceW(nullptr, names.data(), DWORD(names.size()));
    QMap<int, QString> ports;
    const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]{0,2})$"),
                                     QRegularExpression::CaseInsensitiveOption);
    for (DWORD begin = 0; begin < length && names[begin] != 0;) {
        const QString name = QString::fromWCharArray(names.data() + begin);
        begin += DWORD(name.size()) + 1;
        if (const QRegularExpressionMatch match = comName.match(name); match.hasMatch())
            ports.insert(match.captured(1).toInt(), name.toUpper());
    }
    return ports.values();
}

} // namespace korvane
