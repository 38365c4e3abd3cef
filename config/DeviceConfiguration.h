// SPDX-License-Identifier: MIT
#pragma once
// The one in-memory picture of a Korvane device. Owned by the main window for the
// whole run; touched only on the user-interface thread.

#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace korvane {

struct DeviceInfo {
    std::uint32_t serialNumber = 1;
    std::uint32_t address = 1; // 24 bits used
    QString deviceName;
    QString station;
};

// One row of the port table: ten display texts in the order of the list's columns.
struct PortEntry {
    QString portNumber;
    QString channel;
    QString coding;
    QString rate;
    QString clockSource;
    QString clockEdge;
    QString polarity;
    QString portState;
    QString delay;
    QString remark;

    static constexpr int FieldCount = 10;

    // Field by column index 0..9.
    QString& field(int column);
    const QString& field(int column) const;

    // A row as a reset or a device read creates it: "-" in Channel..portState,
    // empty Delay and Remark.
    static PortEntry unassigned(int portNumber);

    bool isAssigned() const; // Channel is not "-"

    bool operator==(const PortEntry&) const = default;
};

// The port list's column captions, in field order; the configuration file's messages
// name a column by them too.
inline const std::array<QString, PortEntry::FieldCount> PortColumnCaptions = {
    QStringLiteral("端口"),     QStringLiteral("通道"),     QStringLiteral("编码类型"),
    QStringLiteral("速率"),     QStringLiteral("时钟源"),   QStringLiteral("时钟沿(PTT)"),
    QStringLiteral("数据极性"), QStringLiteral("端口状态"), QStringLiteral("延时"),
    QStringLiteral("备注")};

using PortTable = QList<PortEntry>;

struct TrunkParams {
    std::int32_t trunkPort = 0;     // 0 automatic, 1 Ta, 2 Tb
    std::int32_t clockPolarity = 0; // 0 positive, 1 negative
    std::int32_t dataPolarity = 0;  // 0 positive, 1 negative
    std::int32_t carrierLevel = 0;  // 0 high, 1 low
    std::int32_t delayEnabled = 0;  // 0 off, 1 on
    std::int32_t delayCyclesA = 0;  // 24 bits used
    std::int32_t delayCyclesB = 0;  // 24 bits used, KORVANEA/B only
    bool operator==(const TrunkParams&) const = default;
};

struct GpsParams {
    std::int32_t gpsEnabled = 0;  // 0 off, 1 on
    std::int32_t gpsPolarity = 0; // 0 positive, 1 negative
    bool operator==(const GpsParams&) const = default;
};

// Carried through configuration files only; it has no meaning to the tool.
// The text is kept as raw code page 936 bytes so that it round-trips exactly.
struct ReservedBlock {
    std::uint8_t value = 0;
    QByteArray text;
    std::array<std::uint8_t, 32> bytes{};
    bool operator==(const ReservedBlock&) const = default;
};

// What the channel selection dialog hands back for one port.
struct ChannelChoice {
    QString channel;
    QString coding;
    QString rate;
    QString clockSource;
    QString clockEdge;
    QString polarity;
    QString portState;
    QString delay;
    QString stopBits;
};

class DeviceConfiguration : public QObject {
    Q_OBJECT
public:
    explicit DeviceConfiguration(QObject* parent = nullptr);

    DeviceInfo info;
    // Changed through setPorts and the functions below, which tell the rows they change.
    PortTable ports;
    TrunkParams trunk;
    GpsParams gps;
    std::int32_t pocsagDelay = 0;
    std::int32_t flexDelay = 0;
    bool channelDelayEnabled = true;
    QString deviceModel = QStringLiteral("0");
    bool controlMode = false;
    QString channelFileName;
    ReservedBlock reserved;

    bool isRefreshed() const { return m_refreshed; }
    bool isTrunkRefreshed() const { return m_trunkRefreshed; }
    // Coupled: true here also sets the trunk flag true.
    void setRefreshed(bool value);
    // Coupled: false here also sets the port flag false.
    void setTrunkRefreshed(bool value);

    // Replaces the whole table.
    void setPorts(PortTable table);
    // Clear the table and add 24 unassigned rows, ports 1 to 24.
    void resetPortTable();

    // Apply a channel choice to one row. Returns the refusal message when another
    // row already holds the channel (nothing changes then), nothing on success.
    std::optional<QString> bindChannel(int row, ChannelChoice choice);

    // Mark the given rows unassigned ("-" in every field after the port number).
    void unassignPorts(const QList<int>& rows);

    // After a successful write of everything: refreshed, all remarks cleared.
    void markWritten();

    bool isModelKnown() const;

signals:
    void refreshedChanged(bool value);
    void trunkRefreshedChanged(bool value);
    // Rows firstRow to lastRow of the port table changed; after a replacement the
    // table may also have another number of rows (lastRow is then its size less 1).
    void portRowsChanged(int firstRow, int lastRow);

private:
    bool m_refreshed = false;
    bool m_trunkRefreshed = false;
};

// Decimal text to number with 0 as the fallback (serial number and address fields).
// The serial number takes the whole unsigned 32-bit range.
std::uint32_t serialNumberFromText(const QString& text);
std::uint32_t addressFromText(const QString& text);

// Decimal value with a fallback: optional sign, digits only, 32-bit signed range.
int decimalOr(const QString& text, int fallback);
// Hexadecimal value with 0 for empty text, "-" or anything not hexadecimal.
std::optional<std::uint32_t> hexValue(const QString& text);

} // namespace korvane
