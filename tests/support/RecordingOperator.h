// SPDX-License-Identifier: MIT
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
    QString text;
    QString caption;
    MessageIcon icon;
    QString detail; // the further text under the message
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
    QString portLabel, model, address, addressHex, serial, serialHex, summary;
    int tableChanges = 0;
    // Runs inside showMessage, while the procedure is still under way.
    std::function<void(const ShownMessage&)> onMessage;

    void showMessage(const QString& text, const QString& caption, MessageIcon icon) override {
        showDetailedMessage(text, caption, icon, {});
    }
    void showDetailedMessage(const QString& text, const QString& caption, MessageIcon icon,
                             const QString& detail) override {
        messages.append({text, caption, icon, detail});
        events.append(QStringLiteral("message ") + caption);
        if (onMessage)
            onMessage(messages.last());
    }
    // Records what the procedures tell; they must not outlive this operator.
    void observe(DeviceProcedures& procedures, DeviceConfiguration& config) {
        QObject::connect(&procedures, &DeviceProcedures::busyChanged, [this](bool value) {
            busy = value;
            ++busyChanges;
            events.append(QStringLiteral("busy %1").arg(value ? 1 : 0));
        });
        QObject::connect(&procedures, &DeviceProcedures::portLabelChanged,
                         [this](const QString& text) { portLabel = text; });
        QObject::connect(&procedures, &DeviceProcedures::modelIdentified,
                         [this](const QString& text) { model = text; });
        QObject::connect(&procedures, &DeviceProcedures::addressRead,
                         [this](const QString& decimal, const QString& hex) {
                             address = decimal;
                             addressHex = hex;
                         });
        QObject::connect(&procedures, &DeviceProcedures::serialNumberRead,
                         [this](const QString& decimal, const QString& hex) {
                             serial = decimal;
                             serialHex = hex;
                         });
        QObject::connect(&procedures, &DeviceProcedures::trunkSummaryChanged,
                         [this](const QString& text) { summary = text; });
        QObject::connect(&config, &DeviceConfiguration::portRowsChanged, &procedures,
                         [this](int, int) { ++tableChanges; });
    }
    void showScheduleProgress(int, int) override {}
    void pause(int ms) override {
        pauses.append(ms);
        events.append(QStringLiteral("pause %1").arg(ms));
    }

    QStringList Texts() const { return TextsOf(messages); }
};

} // namespace korvane::test
