#pragma once
// A DeviceOperator for tests: records every call instead of showing anything, so no
// test waits on a modal box. Pauses are recorded, not waited out.

#include "protocol/DeviceOperator.h"

#include <QStringList>

#include <functional>

namespace korvane::test {

struct ShownMessage {
    QString text;
    QString caption;
    MessageIcon icon;
};

inline QStringList TextsOf(const QList<ShownMessage>& messages) {
    QStringList out;
    for (const ShownMessage& m : messages)
        out.append(m.text);
    return out;
}

class RecordingOperator : public DeviceOperator {
public:
    QList<ShownMessage> messages;
    QStringList events; // every call in order, e.g. "busy 1", "message <caption>", "pause 3000"
    QList<int> pauses;
    bool busy = false;
    int busyChanges = 0;
    QString PortLabel, Model, Address, AddressHex, Serial, SerialHex, Summary;
    int tableChanges = 0;
    // Runs inside showMessage, while the procedure is still under way.
    std::function<void(const ShownMessage&)> OnMessage;

    void showMessage(const QString& text, const QString& caption, MessageIcon icon) override {
        Messages.append({text, caption, icon});
        Events.append(QStringLiteral("message ") + caption);
        if (OnMessage)
            OnMessage(Messages.last());
    }
    void setBusy(bool busy) override {
        Busy = busy;
        ++BusyChanges;
        Events.append(QStringLiteral("busy %1").arg(busy ? 1 : 0));
    }
    void showPortLabel(const QString& text) override { PortLabel = text; }
    void showModel(const QString& model) override { Model = model; }
    void showAddress(const QString& decimal, const QString& hex) override {
        Address = decimal;
        AddressHex = hex;
    }
    void showSerialNumber(const QString& decimal, const QString& hex) override {
        Serial = decimal;
        SerialHex = hex;
    }
    void portTableChanged() override { ++TableChanges; }
    void showTrunkSummary(const QString& summary) override { Summary = summary; }
    void showScheduleProgress(int, int) override {}
    void pause(int ms) override {
        Pauses.append(ms);
        Events.append(QStringLiteral("pause %1").arg(ms));
    }

    QStringList Texts() const { return TextsOf(Messages); }
};

} // namespace korvane::test
