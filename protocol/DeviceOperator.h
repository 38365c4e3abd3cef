#pragma once
// How the device procedures reach the operator. The main window implements it;
// tests replace it with a recorder. Every call happens on the user-interface thread.

#include <QEventLoop>
#include <QString>

namespace korvane {

enum class MessageIcon { Information, Error };

class DeviceOperator {
public:
    virtual ~DeviceOperator() = default;

    // A message box; returns when the operator has dismissed it.
    virtual void ShowMessage(const QString& text, const QString& caption, MessageIcon icon) = 0;
    // Busy: hourglass cursor and the port-table group disabled; false restores both.
    virtual void SetBusy(bool busy) = 0;
    // The port label: a port description or "断开".
    virtual void ShowPortLabel(const QString& text) = 0;
    // The model label, once the device is identified.
    virtual void ShowModel(const QString& model) = 0;
    // The address field and its diagnostic field (the raw answer in hexadecimal).
    virtual void ShowAddress(const QString& decimal, const QString& answerHex) = 0;
    // The serial number field and its diagnostic field.
    virtual void ShowSerialNumber(const QString& decimal, const QString& answerHex) = 0;
    // The port table of the configuration was replaced or changed.
    virtual void PortTableChanged() = 0;
    // The trunk label.
    virtual void ShowTrunkSummary(const QString& summary) = 0;
    // Where a schedule send stands: block (from 1) of blocks is being sent; blocks 0
    // means the send is over.
    virtual void ShowScheduleProgress(int block, int blocks) = 0;
    // A pause between writes; returns after ms milliseconds.
    virtual void Pause(int ms) = 0;
};

// Runs the event loop for at least ms milliseconds, for the implementations of Pause.
// A timer may fire a little early, so the wait goes on until the time has passed.
void RunEventLoopFor(int ms, QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);

} // namespace korvane
