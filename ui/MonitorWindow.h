// SPDX-License-Identifier: MIT
#pragma once
// The communication monitor: a window that lists every frame sent and every block
// received, once as a text line and once in hexadecimal, as the transport posts them
// (MonitorMessage). It is created hidden and lives for the whole run; messages are
// taken in while it is hidden too. User-interface thread only.

#include <QWidget>

class QCheckBox;
class QPlainTextEdit;

namespace korvane {

class MonitorMessage;

class MonitorWindow : public QWidget {
    Q_OBJECT
public:
    // A text line arriving while the box holds more lines than this clears it first.
    static constexpr int MaxLines = 10000;

    explicit MonitorWindow(QWidget* parent = nullptr);

    // Appends the message's line; never throws.
    void handleMonitorMessage(const MonitorMessage& message);

    // The lines in the box.
    int lineCount() const { return m_lineCount; }
    bool isAutoScroll() const { return m_autoScroll; }

    // The text of a count-0 block: its bytes as UTF-8 up to the first NUL.
    static QString textLine(const QByteArray& block);
    // "0x" followed by "XX " for each of the first count bytes of block.
    static QString hexLine(const QByteArray& block, int count);

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QPlainTextEdit* logView;
    QCheckBox* autoScrollCheck;

    void appendLine(const QString& line);
    void clear();
    void scrollToEnd();
    void onAutoScrollClicked();

    int m_lineCount = 0;
    bool m_autoScroll = true;
};

} // namespace korvane
