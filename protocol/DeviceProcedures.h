// SPDX-License-Identifier: MIT
#pragma once
// The procedures that talk to the device: identification, reading, writing and the
// timing schedule. They run on the user-interface thread without any window: they
// work on the configuration, send through the command transport, reach the operator
// through DeviceOperator and tell what they changed by signals. A procedure that fails shows its
// own message and answers false; an error it raises (port cannot be opened, no answer to the
// identification probe) ends the whole user action.

#include "config/DeviceConfiguration.h"
#include "config/KorvaneError.h"
#include "link/FrameCodec.h"
#include "protocol/DeviceOperator.h"

#include <QObject>

#include <functional>
#include <optional>

namespace korvane {

class CommandTransport;

// What a write-all's read-back holds that differs from what was sent: empty when the
// device holds it all, else the text of the warning that lists the differences.
using ReadBackCheck =
    std::function<QString(const DeviceConfiguration& sent, const DeviceConfiguration& device)>;

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
    // read back into a configuration of its own and the write succeeds only when the
    // read-back check finds nothing (the configuration then takes the device's values).
    // Nothing is sent when the schedule file cannot be used. serialNumber
    // and address are what the operator's fields show, each refused when 0; the frames
    // carry the configuration's address. Without withSchedule the schedule step is left
    // out (the command line's choice).
    bool writeAll(std::uint32_t serialNumber, std::uint32_t address, bool withSchedule = true);
    // Without a check every answered read-back counts as holding what was sent.
    void setReadBackCheck(ReadBackCheck check) { m_readBackCheck = std::move(check); }
    // Trunk attributes, GPS and trunk delay, each announced.
    void writeAllTrunkSections();
    // Gives the device named by the serial number the configuration's address. With
    // confirm the address is read back (one more plain read) and the success box shows
    // only when the device answers with the new one (korvanectl reads back itself).
    bool setAddress(bool confirm = false);
    // The schedule file beside the channel file, converted against the port table,
    // in blocks of 64 slots.
    bool sendScheduleTable();

    // Sends one frame and returns the device's answer, or nothing after the time limit.
    // Throws KorvaneError (Port) when the port has gone away (the label says "断开"),
    // unless a lost port counts as no answer.
    std::optional<ByteBuffer> transact(const ByteBuffer& frame);
    // With it a lost port ends the wait as no answer does: the procedure shows its own
    // boxes in their order, the first with the loss's reason and hint as further text
    // (the window's choice; korvanectl reports the loss itself).
    void setPortLossAsNoAnswer(bool value) { m_portLossAsNoAnswer = value; }

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

    // The raw answers a read shows in the diagnostic fields.
    struct ReadAnswers {
        QString addressHex;
        QString serialNumberHex;
    };
    // The six read steps into the given configuration; only a read into the session's
    // own configuration tells what it read.
    bool readInto(DeviceConfiguration& into, ReadAnswers& answers);
    bool readStep(std::uint8_t code, DeviceConfiguration& into, ReadAnswers& answers);
    void tellRead(std::uint8_t code, const ReadAnswers& answers);
    // Write-all's last step with ControlMode off: the read-back, compared.
    bool confirmWritten();
    // A message to the operator, traced as the procedure's outcome.
    // The first error box after a lost port carries the loss's reason and hint.
    void tell(const QString& text, const QString& caption, MessageIcon icon,
              const QString& detail = {});

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
        QString reason; // the system's reason or the size, for the box's further text
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
    ReadBackCheck m_readBackCheck;
    bool m_portLossAsNoAnswer = false;
    std::optional<KorvaneError> m_loss; // a lost port not told yet
    int m_busyDepth = 0;
};

// The unescaped answer as the diagnostic fields show it: "7E 08 01 00 00 7F ".
QString answerHex(const ByteBuffer& frame);

} // namespace korvane
