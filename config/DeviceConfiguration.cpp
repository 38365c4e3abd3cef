#include "config/DeviceConfiguration.h"

#include "config/DisplayTexts.h"

#include <algorithm>
#include <functional>
#include <limits>

namespace korvane {

QString& PortEntry::field(int column) {
    return const_cast<QString&>(static_cast<const PortEntry*>(this)->field(column));
}

const QString& PortEntry::field(int column) const {
    switch (column) {
    case 0:
        return PortNumber;
    case 1:
        return Channel;
    case 2:
        return Coding;
    case 3:
        return Rate;
    case 4:
        return ClockSource;
    case 5:
        return ClockEdge;
    case 6:
        return Polarity;
    case 7:
        return PortState;
    case 8:
        return Delay;
    default:
        return Remark;
    }
}

PortEntry PortEntry::unassigned(int portNumber) {
    PortEntry e;
    e.PortNumber = QString::number(portNumber);
    for (int c = 1; c <= 7; ++c)
        e.field(c) = text::None;
    return e;
}

bool PortEntry::isAssigned() const {
    return Channel != text::None;
}

DeviceConfiguration::DeviceConfiguration(QObject* parent) : QObject(parent) {}

void DeviceConfiguration::setRefreshed(bool value) {
    m_refreshed = value;
    emit refreshedChanged(value);
    if (value)
        setTrunkRefreshed(true);
}

void DeviceConfiguration::setTrunkRefreshed(bool value) {
    m_trunkRefreshed = value;
    emit trunkRefreshedChanged(value);
    if (!value)
        setRefreshed(false);
}

void DeviceConfiguration::setPorts(PortTable ports) {
    Ports = std::move(ports);
    emit portRowsChanged(0, int(Ports.size()) - 1);
}

void DeviceConfiguration::resetPortTable() {
    PortTable ports;
    for (int port = 1; port <= 24; ++port)
        ports.append(PortEntry::unassigned(port));
    setPorts(std::move(ports));
}

std::optional<QString> DeviceConfiguration::bindChannel(int row, ChannelChoice choice) {
    if (row < 0 || row >= Ports.size())
        return std::nullopt;
    const int wanted = decimalOr(choice.Channel, 0);
    for (int i = 0; i < Ports.size(); ++i) {
        if (i != row && decimalOr(Ports[i].Channel, 0) == wanted)
            return QStringLiteral("\"%1\"信道已被选择，请选择一未选择的信道。").arg(choice.Channel);
    }
    if (choice.Coding == text::Async) {
        choice.Coding = text::Sync;
        choice.ClockSource = text::Internal;
        choice.ClockEdge = text::RisingEdge;
    }
    PortEntry& e = Ports[row];
    e.Channel = choice.Channel;
    e.Coding = choice.Coding;
    e.Rate = choice.Rate == QLatin1String("512") ? QStringLiteral("1200") : choice.Rate;
    e.ClockSource = choice.Coding == text::Pocsag ? text::None : choice.ClockSource;
    e.ClockEdge = choice.ClockEdge;
    e.Polarity = choice.Polarity;
    e.PortState = choice.PortState;
    e.Delay = choice.Delay;
    emit portRowsChanged(row, row);
    return std::nullopt;
}

void DeviceConfiguration::unassignPorts(const QList<int>& rows) {
    if (rows.isEmpty())
        return;
    QList<int> ordered = rows;
    std::sort(ordered.begin(), ordered.end(), std::greater<>());
    for (int row : ordered) {
        if (row < 0 || row >= Ports.size())
            continue;
        for (int c = 1; c < PortEntry::FieldCount; ++c)
            Ports[row].field(c) = text::None;
        emit portRowsChanged(row, row);
    }
    setRefreshed(false);
}

void DeviceConfiguration::markWritten() {
    setRefreshed(true);
    for (PortEntry& e : Ports)
        e.Remark.clear();
    emit portRowsChanged(0, int(Ports.size()) - 1);
}

bool DeviceConfiguration::isModelKnown() const {
    return DeviceModel == text::ModelSingle || DeviceModel == text::ModelAB;
}

int decimalOr(const QString& text, int fallback) {
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() != text.size())
        return fallback;
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok, 10);
    if (!ok || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max())
        return fallback;
    return static_cast<int>(v);
}

std::uint32_t serialNumberFromText(const QString& text) {
    // The device's serial number is unsigned 32-bit, so numbers past the signed range
    // are valid too; a negative number keeps its 32-bit pattern, as it always did.
    const QString t = text.trimmed();
    if (t.isEmpty() || t.size() != text.size())
        return 0;
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok, 10);
    if (!ok || v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::uint32_t>::max())
        return 0;
    return static_cast<std::uint32_t>(v);
}

std::uint32_t addressFromText(const QString& text) {
    return static_cast<std::uint32_t>(decimalOr(text, 0));
}

std::optional<std::uint32_t> hexValue(const QString& text) {
    if (text.isEmpty())
        return std::nullopt;
    bool ok = false;
    const qulonglong v = text.toULongLong(&ok, 16);
    if (!ok || v > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<std::uint32_t>(v);
}

} // namespace korvane
