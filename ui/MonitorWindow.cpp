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

TfrmTerminal::TfrmTerminal(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmTerminal"));
    setWindowTitle(QStringLiteral("Terminal"));
    setWindowFlag(Qt::WindowStaysOnTopHint);

    CheckBox1 = new QCheckBox(QStringLiteral("Auto Scroll"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setChecked(m_autoScroll);

    RichEdit1 = new QPlainTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->setReadOnly(true);
    // Plain lines without wrapping keep appending cheap with thousands of lines.
    RichEdit1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEdit1->setUndoRedoEnabled(false);
    RichEdit1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEdit1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* top = new QHBoxLayout;
    top->addStretch();
    top->addWidget(CheckBox1);
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addLayout(top);
    root->addWidget(RichEdit1, 1);
    resize(416, 334);

    connect(CheckBox1, &QCheckBox::clicked, this, &TfrmTerminal::CheckBox1Click);
}

QString TfrmTerminal::TextLine(const QByteArray& block) {
    qsizetype end = block.indexOf('\0');
    if (end < 0)
        end = block.size();
    QString line = QString::fromUtf8(block.constData(), end);
    // A CR or LF inside a frame would split one message over several lines.
    std::replace_if(
        line.begin(), line.end(), [](QChar c) { return c == u'\r' || c == u'\n'; }, u' ');
    return line;
}

QString TfrmTerminal::HexLine(const QByteArray& block, int count) {
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

bool TfrmTerminal::event(QEvent* event) {
    if (event->type() == MonitorMessage::EventType) {
        // Another sender could use the same event number; only our messages are read.
        if (const auto* message = dynamic_cast<const MonitorMessage*>(event))
            HandleMonitorMessage(*message);
        return true;
    }
    return QWidget::event(event);
}

void TfrmTerminal::HandleMonitorMessage(const MonitorMessage& message) {
    // The monitor is a diagnostic aid: a failure here must never end the program.
    try {
        if (message.Count() == 0) {
            if (m_lineCount > MaxLines)
                Clear();
            AppendLine(TextLine(message.Block()));
        } else if (message.Count() > 0) {
            AppendLine(HexLine(message.Block(), message.Count()));
        }
    } catch (const std::exception&) {
    }
}

void TfrmTerminal::AppendLine(const QString& line) {
    // Inserted through a cursor rather than appendPlainText, which follows the last
    // line on its own whenever the view is at the bottom, auto scroll or not.
    QTextCursor cursor(RichEdit1->document());
    cursor.movePosition(QTextCursor::End);
    if (m_lineCount > 0)
        cursor.insertBlock();
    cursor.insertText(line);
    ++m_lineCount;
    if (m_autoScroll)
        ScrollToEnd();
}

void TfrmTerminal::Clear() {
    RichEdit1->clear();
    m_lineCount = 0;
}

void TfrmTerminal::ScrollToEnd() {
    QScrollBar* bar = RichEdit1->verticalScrollBar();
    bar->setValue(bar->maximum());
}

void TfrmTerminal::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The scroll range follows the box's size, which is only known once it is shown.
    if (m_autoScroll)
        ScrollToEnd();
}

void TfrmTerminal::CheckBox1Click() {
    m_autoScroll = CheckBox1->isChecked();
    if (m_autoScroll)
        ScrollToEnd();
}

} // namespace korvane
