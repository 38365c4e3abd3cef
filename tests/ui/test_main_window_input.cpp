// SPDX-License-Identifier: MIT
// The main window under the operator's hands: every route text takes into the
// serial-number and address fields, when their values are taken, the port list's
// selection across changes, the device information during a device action, pauses,
// the channel-file dialog and the schedule progress.

#include "tests/support/Child.h"
#include "tests/support/WindowFixture.h"
#include "ui/HexFieldValidator.h"

#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTreeView>
#include <QtTest>

using namespace korvane;
using namespace korvane::test;

namespace {

// The address field of the active window, with the focus in it.
QLineEdit* focusAddress(MainWindow& w) {
    QLineEdit* address = Child<QLineEdit>(w, "addressField");
    w.activateWindow();
    address->setFocus();
    if (!QTest::qWaitFor([address] { return address->hasFocus(); }))
        qFatal("the address field did not take the focus");
    return address;
}

} // namespace

class TestMainWindowInput : public QObject {
    Q_OBJECT
private slots:
    // Keys other than printable ones behave as in any field; pasted text obeys the
    // same limits as typed text; Escape reaches the window.
    void fieldKeysAndPaste() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        QLineEdit* address = focusAddress(w);
        QTest::keyClick(address, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(address->selectedText(), QStringLiteral("000001"));

        QGuiApplication::clipboard()->setText(QStringLiteral("1f2-3"));
        QTest::keyClick(address, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(address->text(),
                 QStringLiteral("000001")); // not hexadecimal
        QGuiApplication::clipboard()->setText(QStringLiteral("abc1234"));
        address->paste();
        QCOMPARE(address->text(),
                 QStringLiteral("000001")); // seven characters
        QGuiApplication::clipboard()->setText(QStringLiteral("abc12"));
        address->paste();
        QCOMPARE(address->text(), QStringLiteral("ABC12"));
        address->insert(QStringLiteral("99"));
        QCOMPARE(address->text(),
                 QStringLiteral("ABC12")); // would be seven

        // Text the program puts there stays whole and may be shortened.
        address->setText(QStringLiteral("16777215"));
        QTest::keyClick(address, Qt::Key_Backspace);
        QCOMPARE(address->text(), QStringLiteral("1677721"));
        QTest::keyClick(address, Qt::Key_5);
        QCOMPARE(address->text(), QStringLiteral("1677721"));

        QTest::keyClick(address, Qt::Key_Tab);
        QTRY_VERIFY(!address->hasFocus());
        QCOMPARE(w.config().info.address, 1677721u);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QTRY_VERIFY(address->hasFocus());
        // Even one that holds what could never be typed: Backspace and Delete work.
        HexFieldValidator::setUnchecked(address, QStringLiteral("-1294967296"));
        QTest::keyClick(address, Qt::Key_End);
        QTest::keyClick(address, Qt::Key_Backspace);
        QTest::keyClick(address, Qt::Key_Home);
        QTest::keyClick(address, Qt::Key_Delete);
        QCOMPARE(address->text(), QStringLiteral("129496729"));
        address->selectAll();
        QTest::keyClicks(address, QStringLiteral("16777215"));
        QCOMPARE(address->text(), QStringLiteral("167772"));

        QTest::keyClick(address, Qt::Key_Escape);
        QTRY_VERIFY(!w.isVisible());
    }

    // Opening the popup menu does not take the typed value; really leaving does.
    void popupMenuLeavesTypedValue() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        QLineEdit* address = focusAddress(w);
        address->selectAll();
        QTest::keyClicks(address, QStringLiteral("7"));

        const QPoint at = Child<QPushButton>(w, "readButton")->geometry().center();
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, w.mapToGlobal(at));
        QApplication::sendEvent(&w, &menuEvent);
        QTRY_VERIFY(w.contextMenu()->isVisible());
        QCOMPARE(w.config().info.address, 1u);
        w.contextMenu()->close();
        QTRY_VERIFY(address->hasFocus());
        QCOMPARE(w.config().info.address, 1u);

        Child<QPushButton>(w, "readButton")->setFocus(Qt::MouseFocusReason);
        QTRY_COMPARE(w.config().info.address, 7u);
    }

    // Deleting ports changes rows in place: the selection and the current row stay.
    void selectionSurvivesTableChange() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        QItemSelectionModel* selection = Child<QTreeView>(w, "portList")->selectionModel();
        const QAbstractItemModel* model = Child<QTreeView>(w, "portList")->model();
        selection->setCurrentIndex(model->index(5, 0), QItemSelectionModel::NoUpdate);
        for (int row : {2, 5})
            selection->select(model->index(row, 0),
                              QItemSelectionModel::Select | QItemSelectionModel::Rows);
        Child<QPushButton>(w, "deleteButton")->click();
        QCOMPARE(selection->selectedRows().size(), 2);
        QVERIFY(selection->isRowSelected(2) && selection->isRowSelected(5));
        QCOMPARE(selection->currentIndex().row(), 5);
    }

    // While a device action runs the fields take no input; a field left meanwhile is
    // taken when the action is over. The remote-control box is taken at any time.
    void deviceInformationLockedWhileBusy() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        Child<QCheckBox>(w, "remoteControlCheck")->click();
        QLineEdit* address = focusAddress(w);
        address->selectAll();
        QTest::keyClicks(address, QStringLiteral("5"));

        w.setBusy(true);
        QVERIFY(address->isReadOnly() && Child<QLineEdit>(w, "serialNumberField")->isReadOnly());
        Child<QCheckBox>(w, "remoteControlCheck")->click();
        QVERIFY(!w.config().controlMode);
        QVERIFY(Child<QLineEdit>(w, "serialNumberField")->isReadOnly());
        QTest::keyClicks(address, QStringLiteral("6"));
        QCOMPARE(address->text(), QStringLiteral("5"));
        QTest::keyClick(address, Qt::Key_Tab);
        QTRY_VERIFY(!address->hasFocus());
        QCOMPARE(w.config().info.address, 1u);

        w.setBusy(false);
        QCOMPARE(w.config().info.address, 5u);
        QVERIFY(!address->isReadOnly() && Child<QLineEdit>(w, "serialNumberField")->isReadOnly());
    }

    // A timer may fire early; a pause never ends before its time.
    void pauseNeverShorter() {
        WindowFixture f;
        for (int i = 0; i < 2; ++i) {
            QElapsedTimer t;
            t.start();
            f.window->pause(2100);
            QVERIFY2(t.elapsed() >= 2100, qPrintable(QString::number(t.elapsed())));
        }
    }

    // The channel-file dialog starts with the file's name even when it has gone.
    void channelDialogPresetsMissingFile() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        w.config().channelFileName = f.dir.filePath(QStringLiteral("gone.chn"));
        QString preset;
        QString folder;
        const auto shown = WhenModal([&](QWidget* d) {
            auto* dialog = qobject_cast<QFileDialog*>(d);
            folder = dialog->directory().absolutePath();
            preset = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            dialog->reject();
        });
        w.chooseChannelFile();
        QVERIFY(*shown);
        QCOMPARE(preset, QStringLiteral("gone.chn"));
        QCOMPARE(folder, QDir(f.dir.path()).absolutePath());
    }

    // A schedule send shows which block goes out, and nothing once it is over.
    void scheduleProgressShown() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        QFile schedule(f.dir.filePath(QStringLiteral("c.sch")));
        QVERIFY(schedule.open(QIODevice::WriteOnly));
        schedule.write("head\r\nhead\r\nhead\r\n" + QByteArray("255\r\n").repeated(65));
        schedule.close();
        w.config().channelFileName = f.dir.filePath(QStringLiteral("c.chn"));
        QLabel* label = w.findChild<QLabel*>(QStringLiteral("scheduleProgressLabel"));
        QStringList seen;
        QTimer watch;
        connect(&watch, &QTimer::timeout, [&] {
            if (label->isVisible() && !seen.contains(label->text()))
                seen.append(label->text());
        });
        watch.start(5);
        Child<QAction>(w, "writeScheduleAction")->trigger();
        watch.stop();
        QCOMPARE(f.Texts(), QStringList());
        QCOMPARE(seen, QStringList({QStringLiteral("时序表 1/2"), QStringLiteral("时序表 2/2")}));
        QVERIFY(label->isHidden());
    }
};

QTEST_MAIN(TestMainWindowInput)
#include "test_main_window_input.moc"
