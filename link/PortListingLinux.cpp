#include "link/PortListing.h"

#include <QDir>

namespace korvane {

QStringList candidatePorts(bool withOnBoardPorts) {
    QStringList patterns{QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")};
    if (withOnBoardPorts)
        patterns.append(QStringLiteral("ttyS*"));
    const QDir dev(QStringLiteral("/dev"));
    QStringList ports;
    for (const QString& name : dev.entryList(patterns, QDir::System | QDir::Files, QDir::Name))
        ports.append(dev.filePath(name));
    return ports;
}

} // namespace korvane
