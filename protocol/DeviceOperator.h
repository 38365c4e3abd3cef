// SPDX-License-Identifier: MIT
#pragma once
// What the device procedures need of an operator: message boxes, schedule progress and
// pauses. What they change (busy state, labels, fields, port rows) they tell by
// signals instead. The main window and korvanectl's console implement it; tests
// replace it with a recorder. Every call happens on the procedures' thread.

#include <QEventLoop>
#include <QString>

namespace korvane {

enum class MessageIcon { Information, Warning, Error };

class DeviceOperator {
public:
    virtual ~DeviceOperator() = default;

    // A message box; returns when the operator has dismissed it.
    virtual void showMessage(const QString& text, const QString& caption, MessageIcon icon) = 0;
    // The same with further text under the message: the system's reason, what to try.
    // An operator that has no place for it shows the message alone.
    virtual void showDetailedMessage(const QString& text, const QString& caption, MessageIcon icon,
                                     const QString& detail) {
        (void)detail;
        showMessage(text, caption, icon);
    }
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
