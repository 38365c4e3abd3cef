// SPDX-License-Identifier: MIT
#include "link/CommandTransport.h"
#include "link/MonitorMessage.h"
#include "tests/support/Child.h"
#include "ui/MonitorWindow.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

#include <memory>

using namespace korvane;

namespace {

QStringList lines(const MonitorWindow& w) {
    if (w.lineCount() == 0)
        return {};
    return Child<QPlainTextEdit>(w, "logView")->toPlainText().split(u'\n');
}

void post(MonitorWindow& w, int count, const QByteArray& block) {
    QCoreApplication::postEvent(&w, new MonitorMessage(count, block));
}

void fill(MonitorWindow& w, int count) {
    for (int i = 0; i < count; ++i)
        w.handleMonitorMessage(MonitorMessage(0, QByteArray::number(i)));
}

} // namespace

class TestTerminal : public QObject {
    Q_OBJECT
private slots:
    // The monitor shows the traffic as it comes: read-only, unwrapped, following the
    // end, and empty at first.
    void window() {
        MonitorWindow w;
        QVERIFY(Child<QPlainTextEdit>(w, "logView")->isReadOnly());
        QCOMPARE(Child<QPlainTextEdit>(w, "logView")->lineWrapMode(), QPlainTextEdit::NoWrap);
        QVERIFY(Child<QCheckBox>(w, "autoScrollCheck")->isChecked() && w.isAutoScroll());
        QCOMPARE(w.lineCount(), 0);
    }

    void line_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QString>("expected");

        QTest::newRow("text") << 0 << QByteArray("COM1 Command: ~(") << "COM1 Command: ~(";
        QTest::newRow("text cut at NUL")
            << 0 << QByteArray("COM1 Response: ~\x01\0\x05\x7F", 20) << "COM1 Response: ~\x01";
        QTest::newRow("text in UTF-8") << 0 << QByteArray("\xC3\xA9\xC3\xBF") << "\u00E9\u00FF";
        QTest::newRow("text keeps one line") << 0 << QByteArray("a\r\nb") << "a  b";
        QTest::newRow("empty text") << 0 << QByteArray() << "";
        QTest::newRow("hex") << 3 << QByteArray("\x7E\x28\x7F") << "0x7E 28 7F ";
        QTest::newRow("hex shows NUL and every byte")
            << 5 << QByteArray("\x7E\x00\xAB\x0F\x7F", 5) << "0x7E 00 AB 0F 7F ";
        QTest::newRow("hex only the counted bytes")
            << 2 << QByteArray("\x7E\x28\x7F") << "0x7E 28 ";
        QTest::newRow("hex count beyond block") << 9 << QByteArray("\xFF") << "0xFF ";
    }
    void line() {
        QFETCH(int, count);
        QFETCH(QByteArray, block);
        QFETCH(QString, expected);
        MonitorWindow w;
        post(w, count, block);
        QCoreApplication::sendPostedEvents(&w);
        QCOMPARE(lines(w), QStringList{expected});
        QCOMPARE(w.lineCount(), 1);
    }

    void negativeCountIgnored() {
        MonitorWindow w;
        w.handleMonitorMessage(MonitorMessage(-1, QByteArray("\x7E")));
        QCOMPARE(w.lineCount(), 0);
        QVERIFY(Child<QPlainTextEdit>(w, "logView")->toPlainText().isEmpty());
    }

    void frameWithNul() {
        // One transaction's command as the transport posts it, while the window is hidden.
        MonitorWindow w;
        const QByteArray frame("\x7E\x07\x01\x00\x00\x7F", 6);
        post(w, 0, QByteArray("COM1 Command: ") + frame.left(frame.indexOf('\0')));
        post(w, int(frame.size()), frame);
        QCoreApplication::sendPostedEvents(&w);
        QVERIFY(!w.isVisible());
        QCOMPARE(lines(w), (QStringList{"COM1 Command: ~\x07\x01", "0x7E 07 01 00 00 7F "}));
    }

    // The transport's text line as the window shows it: a port name beyond ASCII, and
    // frame bytes above 0x7F as single-byte characters.
    void portNameShowsAsItIs() {
        MonitorWindow w;
        CommandTransport transport;
        const QString name = QStringLiteral("/dev/串口é");
        transport.comm().setCommName(name);
        transport.setDebug(true);
        transport.setMonitor(&w);
        const std::uint8_t frame[] = {0x7E, 0xE9, 0x7F};
        transport.sendFrame(frame, 3);
        QCoreApplication::sendPostedEvents(&w);
        QCOMPARE(lines(w).value(0), name + QStringLiteral(" Command: ~\u00E9\u007F"));
    }

    void answerOf92Bytes() {
        MonitorWindow w;
        QByteArray block;
        QString expected = QStringLiteral("0x");
        for (int i = 0; i < 92; ++i) {
            block.append(char(0xA0 + i % 16));
            expected += QStringLiteral("A%1 ").arg(i % 16, 0, 16).toUpper();
        }
        w.handleMonitorMessage(MonitorMessage(92, block));
        QCOMPARE(w.lineCount(), 1);
        const QString line = Child<QPlainTextEdit>(w, "logView")->toPlainText();
        QCOMPARE(line.size(), 2 + 92 * 3);
        QCOMPARE(line, expected);
    }

    void lineLimit() {
        MonitorWindow w;
        QElapsedTimer timer;
        timer.start();
        fill(w, MonitorWindow::MaxLines);
        qInfo("appending %d lines took %lld ms", MonitorWindow::MaxLines,
              static_cast<long long>(timer.elapsed()));
        QCOMPARE(w.lineCount(), 10000);

        // At exactly 10000 lines a text line is appended.
        w.handleMonitorMessage(MonitorMessage(0, "t10000"));
        QCOMPARE(w.lineCount(), 10001);
        QCOMPARE(Child<QPlainTextEdit>(w, "logView")->document()->blockCount(), 10001);
        QCOMPARE(Child<QPlainTextEdit>(w, "logView")->document()->firstBlock().text(),
                 QStringLiteral("0"));

        // Over the limit a hex line does not clear.
        w.handleMonitorMessage(MonitorMessage(1, QByteArray("\x7E")));
        QCOMPARE(w.lineCount(), 10002);
        QCOMPARE(Child<QPlainTextEdit>(w, "logView")->document()->lastBlock().text(),
                 QStringLiteral("0x7E "));

        // A text line does, and becomes the only line.
        w.handleMonitorMessage(MonitorMessage(0, "after"));
        QCOMPARE(w.lineCount(), 1);
        QCOMPARE(lines(w), QStringList{"after"});
        QCOMPARE(Child<QPlainTextEdit>(w, "logView")->document()->blockCount(), 1);
    }

    void textAt10001LinesClears() {
        MonitorWindow w;
        fill(w, 10001);
        QCOMPARE(w.lineCount(), 10001);
        w.handleMonitorMessage(MonitorMessage(0, "fresh"));
        QCOMPARE(lines(w), QStringList{"fresh"});
    }

    void autoScroll() {
        MonitorWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QScrollBar* bar = Child<QPlainTextEdit>(w, "logView")->verticalScrollBar();
        fill(w, 300);
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        w.handleMonitorMessage(MonitorMessage(2, QByteArray("\x7E\x7F")));
        QCOMPARE(bar->value(), bar->maximum());

        // Off: the view stays where the operator put it, at the bottom as elsewhere.
        QTest::mouseClick(Child<QCheckBox>(w, "autoScrollCheck"), Qt::LeftButton);
        QVERIFY(!Child<QCheckBox>(w, "autoScrollCheck")->isChecked());
        QVERIFY(!w.isAutoScroll());
        const int bottom = bar->value();
        fill(w, 50);
        QCOMPARE(bar->value(), bottom);
        QVERIFY(bar->maximum() > bottom);
        bar->setValue(10);
        fill(w, 50);
        QCOMPARE(bar->value(), 10);

        // On again: the next line brings the last line into view.
        QTest::mouseClick(Child<QCheckBox>(w, "autoScrollCheck"), Qt::LeftButton);
        QVERIFY(w.isAutoScroll());
        w.handleMonitorMessage(MonitorMessage(0, "last"));
        QCOMPARE(bar->value(), bar->maximum());
    }

    void hiddenThenShownShowsLastLine() {
        MonitorWindow w;
        fill(w, 300);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QScrollBar* bar = Child<QPlainTextEdit>(w, "logView")->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
        w.hide();
        fill(w, 5);
        QCOMPARE(w.lineCount(), 305);
    }
};

QTEST_MAIN(TestTerminal)
#include "test_monitor_window.moc"
