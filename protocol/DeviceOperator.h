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
    virtual void showMessage(const QString& text, const QString& caption, MessageIcon icon) = 0;
    // Busy: hourglass cursor and the port-table group disabled; false restores both.
    virtual void setBusy(bool busy) = 0;
    // The port label: a port description or "断开".
    virtual void showPortLabel(const QString& text) = 0;
    // The model label, once the device is identified.
    virtual void showModel(const QString& model) = 0;
    // The address field and its diagnostic field (the raw answer in hexadecimal).
    virtual void showAddress(const QString& decimal, const QString& answerHex) = 0;
    // The serial number field and its diagnostic field.
    virtual void showSerialNumber(const QString& decimal, const QString& answerHex) = 0;
    // The port table of the configuration was replaced or changed.
    virtual void portTableChanged() = 0;
    // The trunk label.
    virtual void showTrunkSummary(const QString& summary) = 0;
    // Where a schedule send stands: block (from 1) of blocks is being sent; blocks 0
    // means the send is over.
    virtual void showScheduleProgress(int block, int blocks) = 0;
    // A pause between writes; returns after ms milliseconds.
    virtual void pause(int ms) = 0;
};

// Runs the event loop for at least ms milliseconds, for the implementations of Pause.
// A timer may fire a little early, so the wait goes on until the time has passed.
void runEventLoopFor(int ms, QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);

} // namespace korvane
