// SPDX-License-Identifier: MIT
#pragma once
// The procedures that talk to the device: identification, reading, writing and the
// timing schedule. They run on the user-interface thread without any window: they
// work on the configuration, send through the command transport, reach the operator
// through DeviceOperator and tell what they changed by signals. A procedure that fails shows its
// own message and answers false; an error it raises (port cannot be opened, no answer to the
// identification probe) ends the whole user action.

#include "config/DeviceConfiguration.h"
#include "link/FrameCodec.h"
#include "protocol/DeviceOperator.h"

#include <QObject>

#include <optional>

namespace korvane {

class CommandTransport;

class DeviceProcedures : public QObject {
    Q_OBJECT
public:
    DeviceProcedures(DeviceConfiguration& config, CommandTransport& transport, DeviceOperator& ui,
                     QObject* parent = nullptr);

    // Probes with the port parameter read; the model its answer's length tells, or "0".
    // Throws KorvaneError when the device does not answer.
    QString identifyDevice();
    // Identifies once per run; false (message shown) when the model stays unknown.
    bool ensureIdentified();

    // Reads address, serial number, port table, GPS, trunk attributes and trunk delay.
    bool readDevice();

    // One section in an addressed frame to the configuration's address. With announce
    // a success box follows the answer; without it they are silent on success.
    bool writePortSection(bool announce);
    bool writeTrunkAttributeSection(bool announce);
    bool writeGpsSection(bool announce);
    bool writeTrunkDelaySection(bool announce);
    // Every section, then the timing schedule; with ControlMode off the device is
    // read back. Nothing is sent when the schedule file cannot be used. serialNumber
    // and address are what the operator's fields show, each refused when 0; the frames
    // carry the configuration's address. Without withSchedule the schedule step is left
    // out (the command line's choice).
    bool writeAll(std::uint32_t serialNumber, std::uint32_t address, bool withSchedule = true);
    // Trunk attributes, GPS and trunk delay, each announced.
    void writeAllTrunkSections();
    // Gives the device named by the serial number the configuration's address.
    bool setAddress();
    // The schedule file beside the channel file, converted against the port table,
    // in blocks of 64 slots.
    bool sendScheduleTable();

    // Sends one frame and returns the device's answer, or nothing after the time limit.
    // Throws KorvaneError (Port) when the port has gone away (the label says "断开").
    std::optional<ByteBuffer> transact(const ByteBuffer& frame);

signals:
    // A procedure began (true) or ended (false); nested procedures tell it once.
    void busyChanged(bool busy);
    // The port was opened, failed to open or went away: its description, or "断开".
    void portLabelChanged(const QString& label);
    // The device was identified as this model.
    void modelIdentified(const QString& model);
    // The address or the serial number was read: in decimal, and the raw answer in
    // hexadecimal for the diagnostic fields.
    void addressRead(const QString& decimal, const QString& answerHex);
    void serialNumberRead(const QString& decimal, const QString& answerHex);
    // GPS, trunk attributes or trunk delay were read: the trunk label's new text.
    void trunkSummaryChanged(const QString& summary);

private:
    // Holds the busy state; nested scopes keep it until the outermost one ends.
    class BusyScope {
    public:
        explicit BusyScope(DeviceProcedures& p);
        ~BusyScope();
        BusyScope(const BusyScope&) = delete;
        BusyScope& operator=(const BusyScope&) = delete;

    private:
        DeviceProcedures& m_p;
    };

    bool readStep(std::uint8_t code);
    // A message to the operator, traced as the procedure's outcome.
    void tell(const QString& text, const QString& caption, MessageIcon icon);

    // One section payload in an addressed frame; the answer's boxes as the section says.
    bool sendSection(std::uint8_t code, const ByteBuffer& payload, bool announce);
    // The port table payload, or false after showing why the table cannot be sent.
    bool encodePortTable(ByteBuffer& payload);
    // A pause that only a remotely controlled device needs.
    void controlModePause(int ms);

    // The schedule file tried and its converted table, or why it cannot be read.
    struct ScheduleSource {
        QString path;
        std::optional<std::vector<std::uint8_t>> table;
        QString refusal;
    };
    ScheduleSource loadSchedule() const;
    // True after showing why the schedule cannot be sent: the file cannot be read, or
    // its table is too long for the block numbers.
    bool refuseSchedule(const ScheduleSource& source);
    bool sendScheduleBlocks(const ScheduleSource& source);
    void openPortIfClosed();
    void showSummary();

    DeviceConfiguration& m_config;
    CommandTransport& m_transport;
    DeviceOperator& m_ui;
    int m_busyDepth = 0;
};

// The unescaped answer as the diagnostic fields show it: "7E 08 01 00 00 7F ".
QString answerHex(const ByteBuffer& frame);

} // namespace korvane
