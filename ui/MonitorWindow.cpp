// SPDX-License-Identifier: MIT
#include "ui/MonitorWindow.h"

#include "link/MonitorMessage.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace korvane {

MonitorWindow::MonitorWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("monitorWindow"));
    setWindowTitle(QStringLiteral("Terminal"));
    setWindowFlag(Qt::WindowStaysOnTopHint);

    autoScrollCheck = new QCheckBox(QStringLiteral("Auto Scroll"), this);
    autoScrollCheck->setObjectName(QStringLiteral("autoScrollCheck"));
    autoScrollCheck->setChecked(m_autoScroll);

    logView = new QPlainTextEdit(this);
    logView->setObjectName(QStringLiteral("logView"));
    logView->setReadOnly(true);
    // Plain lines without wrapping keep appending cheap with thousands of lines.
    logView->setLineWrapMode(QPlainTextEdit::NoWrap);
    logView->setUndoRedoEnabled(false);
    logView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    logView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(autoScrollCheck);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addLayout(top);
    root->addWidget(logView, 1);
    resize(416, 334);

    connect(autoScrollCheck, &QCheckBox::clicked, this, &MonitorWindow::onAutoScrollClicked);
}

QString MonitorWindow::textLine(const QByteArray& block) {
    qsizetype end = block.indexOf('\0');
    if (end < 0)
        end = block.size();
    QString line = QString::fromUtf8(block.constData(), end);
    // A CR or LF inside a frame would split one message over several lines.
    std::replace_if(
        line.begin(), line.end(), [](QChar c) { return c == u'\r' || c == u'\n'; }, u' ');
    return line;
}

QString MonitorWindow::hexLine(const QByteArray& block, int count) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    const qsizetype n = std::clamp<qsizetype>(count, 0, block.size());
    QString line;
    line.reserve(2 + 3 * n);
    line += QStringLiteral("0x");
    for (qsizetype i = 0; i < n; ++i) {
        const auto b = static_cast<unsigned char>(block[i]);
        line += QLatin1Char(Digits[b >> 4]);
        line += QLatin1Char(Digits[b & 0x0F]);
        line += QLatin1Char(' ');
    }
    return line;
}

bool MonitorWindow::event(QEvent* event) {
    if (event->type() == MonitorMessage::EventType) {
        // Another sender could use the same event number; only our messages are read.
        if (const auto* message = dynamic_cast<const MonitorMessage*>(event))
            handleMonitorMessage(*message);
        return true;
    }
    return QWidget::event(event);
}

void MonitorWindow::handleMonitorMessage(const MonitorMessage& message) {
    // The monitor is a diagnostic aid: a failure here must never end the program.
    try {
        if (message.count() == 0) {
            if (m_lineCount > MaxLines)
                clear();
            appendLine(textLine(message.block()));
        } else if (message.count() > 0) {
            appendLine(hexLine(message.block(), message.count()));
        }
    } catch (const std::exception&) {
    }
}

void MonitorWindow::appendLine(const QString& line) {
    // Inserted through a cursor rather than appendPlainText, which follows the last
    // line on its own whenever the view is at the bottom, auto scroll or not.
    QTextCursor cursor(logView->document());
    cursor.movePosition(QTextCursor::End);
    if (m_lineCount > 0)
        cursor.insertBlock();
    cursor.insertText(line);
    ++m_lineCount;
    if (m_autoScroll)
        scrollToEnd();
}

void MonitorWindow::clear() {
    logView->clear();
    m_lineCount = 0;
}

void MonitorWindow::scrollToEnd() {
    QScrollBar* bar = logView->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void MonitorWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The scroll range follows the box's size, which is only known once it is shown.
    if (m_autoScroll)
        scrollToEnd();
}

void MonitorWindow::onAutoScrollClicked() {
    m_autoScroll = autoScrollCheck->isChecked();
    if (m_autoScroll)
        scrollToEnd();
}

} // namespace korvane
