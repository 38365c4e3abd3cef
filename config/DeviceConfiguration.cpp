// SPDX-License-Identifier: MIT
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
        return portNumber;
    case 1:
        return channel;
    case 2:
        return coding;
    case 3:
        return rate;
    case 4:
        return clockSource;
    case 5:
        return clockEdge;
    case 6:
        return polarity;
    case 7:
        return portState;
    case 8:
        return delay;
    default:
        return remark;
    }
}

PortEntry PortEntry::unassigned(int portNumber) {
    PortEntry e;
    e.portNumber = QString::number(portNumber);
    for (int c = 1; c <= 7; ++c)
        e.field(c) = text::None;
    return e;
}

bool PortEntry::isAssigned() const {
    return channel != text::None;
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

void DeviceConfiguration::setPorts(PortTable table) {
    ports = std::move(table);
    emit portRowsChanged(0, int(ports.size()) - 1);
}

void DeviceConfiguration::resetPortTable() {
    PortTable table;
    for (int port = 1; port <= 24; ++port)
        table.append(PortEntry::unassigned(port));
    setPorts(std::move(table));
}

std::optional<QString> DeviceConfiguration::bindChannel(int row, ChannelChoice choice) {
    if (row < 0 || row >= ports.size())
        return std::nullopt;
    const int wanted = decimalOr(choice.channel, 0);
    for (int i = 0; i < ports.size(); ++i) {
        if (i != row && decimalOr(ports[i].channel, 0) == wanted)
            return QStringLiteral("\"%1\"信道已被选择，请选择一未选择的信道。").arg(choice.channel);
    }
    if (choice.coding == text::Async) {
        choice.coding = text::Sync;
        choice.clockSource = text::Internal;
        choice.clockEdge = text::RisingEdge;
    }
    PortEntry& e = ports[row];
    e.channel = choice.channel;
    e.coding = choice.coding;
    e.rate = choice.rate == QLatin1String("512") ? QStringLiteral("1200") : choice.rate;
    e.clockSource = choice.coding == text::Pocsag ? text::None : choice.clockSource;
    e.clockEdge = choice.clockEdge;
    e.polarity = choice.polarity;
    e.portState = choice.portState;
    e.delay = choice.delay;
    emit portRowsChanged(row, row);
    return std::nullopt;
}

void DeviceConfiguration::unassignPorts(const QList<int>& rows) {
    if (rows.isEmpty())
        return;
    QList<int> ordered = rows;
    std::sort(ordered.begin(), ordered.end(), std::greater<>());
    for (int row : ordered) {
        if (row < 0 || row >= ports.size())
            continue;
        for (int c = 1; c < PortEntry::FieldCount; ++c)
            ports[row].field(c) = text::None;
        emit portRowsChanged(row, row);
    }
    setRefreshed(false);
}

void DeviceConfiguration::markWritten() {
    setRefreshed(true);
    for (PortEntry& e : ports)
        e.remark.clear();
    emit portRowsChanged(0, int(ports.size()) - 1);
}

bool DeviceConfiguration::isModelKnown() const {
    return deviceModel == text::ModelSingle || deviceModel == text::ModelAB;
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
