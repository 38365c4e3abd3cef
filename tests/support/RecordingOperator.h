#pragma once
// A DeviceOperator for tests: records every call, and what observed procedures tell,
// instead of showing anything, so no test waits on a modal box. Pauses are recorded,
// not waited out.

#include "protocol/DeviceOperator.h"
#include "protocol/DeviceProcedures.h"

#include <QStringList>

#include <functional>

namespace korvane::test {

struct ShownMessage {
    QString Text;
    QString Caption;
    MessageIcon Icon;
};

inline QStringList TextsOf(const QList<ShownMessage>& messages) {
    QStringList out;
    for (const ShownMessage& m : messages)
        out.append(m.Text);
    return out;
}

class RecordingOperator : public DeviceOperator {
public:
    QList<ShownMessage> Messages;
    QStringList Events; // every call in order, e.g. "busy 1", "message <caption>", "pause 3000"
    QList<int> Pauses;
    bool Busy = false;
    int BusyChanges = 0;
    QString PortLabel, Model, Address, AddressHex, Serial, SerialHex, Summary;
    int TableChanges = 0;
    // Runs inside showMessage, while the procedure is still under way.
    std::function<void(const ShownMessage&)> OnMessage;

    void showMessage(const QString& text, const QString& caption, MessageIcon icon) override {
        Messages.append({text, caption, icon});
        Events.append(QStringLiteral("message ") + caption);
        if (OnMessage)
            OnMessage(Messages.last());
    }
    // Records what the procedures tell; they must not outlive this operator.
    void observe(DeviceProcedures& procedures, DeviceConfiguration& config) {
        QObject::connect(&procedures, &DeviceProcedures::busyChanged, [this](bool busy) {
            Busy = busy;
            ++BusyChanges;
            Events.append(QStringLiteral("busy %1").arg(busy ? 1 : 0));
        });
        QObject::connect(&procedures, &DeviceProcedures::portLabelChanged,
                         [this](const QString& text) { PortLabel = text; });
        QObject::connect(&procedures, &DeviceProcedures::modelIdentified,
                         [this](const QString& model) { Model = model; });
        QObject::connect(&procedures, &DeviceProcedures::addressRead,
                         [this](const QString& decimal, const QString& hex) {
                             Address = decimal;
                             AddressHex = hex;
                         });
        QObject::connect(&procedures, &DeviceProcedures::serialNumberRead,
                         [this](const QString& decimal, const QString& hex) {
                             Serial = decimal;
                             SerialHex = hex;
                         });
        QObject::connect(&procedures, &DeviceProcedures::trunkSummaryChanged,
                         [this](const QString& summary) { Summary = summary; });
        QObject::connect(&config, &DeviceConfiguration::portRowsChanged, &procedures,
                         [this](int, int) { ++TableChanges; });
    }
    void showScheduleProgress(int, int) override {}
    void pause(int ms) override {
        Pauses.append(ms);
        Events.append(QStringLiteral("pause %1").arg(ms));
    }

    QStringList Texts() const { return TextsOf(Messages); }
};

} // namespace korvane::test
