// SPDX-License-Identifier: MIT
// The main window's file commands (saving and loading configuration files, choosing
// the channel file), binding a port to a channel through the channel dialog, and the
// communication monitor fed by a read.

#include "config/DisplayTexts.h"
#include "files/Cp936.h"
#include "files/IniFile.h"
#include "tests/support/Child.h"
#include "tests/support/WindowFixture.h"
#include "ui/ChannelDialog.h"
#include "ui/MonitorWindow.h"
#include "ui/RadioGroup.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeView>
#include <QTreeWidget>
#include <QtTest>

#include <array>

Q_DECLARE_METATYPE(korvane::PortTable)
Q_DECLARE_METATYPE(korvane::PortEntry)
Q_DECLARE_METATYPE(korvane::GpsParams)
Q_DECLARE_METATYPE(korvane::TrunkParams)
Q_DECLARE_METATYPE(korvane::ReservedBlock)

namespace korvane {
// Rows in failure output.
char* toString(const PortEntry& e) {
    QStringList cells;
    for (int c = 0; c < PortEntry::FieldCount; ++c)
        cells.append(e.field(c));
    return qstrdup(cells.join(u'|').toUtf8().constData());
}
} // namespace korvane

using namespace korvane;
using namespace korvane::test;

using Kind = MainWindow::FileDialog;

namespace {

// The display words in code page 936, written out here so that the expectations do
// not depend on the encoder under test.
namespace gbk {
const QByteArray Sync = QByteArrayLiteral("\xCD\xAC\xB2\xBD");                     // 同步
const QByteArray Internal = QByteArrayLiteral("\xC4\xDA\xB2\xBF");                 // 内部
const QByteArray External = QByteArrayLiteral("\xCD\xE2\xB2\xBF");                 // 外部
const QByteArray Rising = QByteArrayLiteral("\xC9\xCF\xC9\xFD\xD1\xD8(\xD5\xFD)"); // 上升沿(正)
const QByteArray Falling = QByteArrayLiteral("\xCF\xC2\xBD\xB5\xD1\xD8(\xB8\xBA)"); // 下降沿(负)
const QByteArray Positive = QByteArrayLiteral("\xD5\xFD");                          // 正
const QByteArray Negative = QByteArrayLiteral("\xB8\xBA");                          // 负
const QByteArray On = QByteArrayLiteral("\xBF\xAA");                                // 开
const QByteArray Off = QByteArrayLiteral("\xB9\xD8");                               // 关
const QByteArray Added = QByteArrayLiteral("\xCC\xED\xBC\xD3");                     // 添加
const QByteArray Modified = QByteArrayLiteral("\xD0\xDE\xB8\xC4");                  // 修改
const QByteArray Reserved = QByteArrayLiteral("\xB1\xA3\xC1\xF4");                  // 保留
const QByteArray Channel = QByteArrayLiteral("\xD0\xC5\xB5\xC0");                   // 信道
} // namespace gbk

const QString Saved = QStringLiteral("文件保存完毕。");

QByteArray lines(const QByteArrayList& list) {
    QByteArray out;
    for (const QByteArray& l : list)
        out += l + "\r\n";
    return out;
}

// The 44 header lines: the twelve value lines, then 32 lines of one raw byte each.
QByteArray header(const QByteArrayList& twelve, const std::array<std::uint8_t, 32>& bytes = {}) {
    QByteArray out = lines(twelve);
    for (std::uint8_t b : bytes)
        out += char(b) + QByteArray("\r\n");
    return out;
}

QByteArray plainHeader() {
    return header({"1", "1", "0", "0", "0", "0", "0", "0", "0", "0", "0", ""});
}

// One port row of a file: its key and nine value lines.
QByteArray fileRow(const QByteArray& key, const QByteArrayList& nine) {
    return lines(QByteArrayList{key} + nine);
}

QByteArray assignedFileRow(int port) {
    return fileRow(QByteArray::number(port),
                   {QByteArray::number(port + 10), gbk::Sync, "1200", gbk::Internal, gbk::Rising,
                    gbk::Positive, gbk::On, "00ABCD", ""});
}

PortEntry entry(const QStringList& ten) {
    PortEntry e;
    for (int c = 0; c < PortEntry::FieldCount; ++c)
        e.field(c) = ten.value(c);
    return e;
}

PortEntry filler(int port) {
    PortEntry e;
    e.portNumber = QString::number(port);
    for (int c = 1; c < PortEntry::FieldCount; ++c)
        e.field(c) = text::None;
    return e;
}

// assignedFileRow as the list shows it once loaded: its empty remark reads "-".
PortEntry assignedEntry(int port) {
    return entry({QString::number(port), QString::number(port + 10), text::Sync, "1200",
                  text::Internal, text::RisingEdge, text::Positive, text::On, "00ABCD",
                  text::None});
}

PortTable fillersFrom(int first) {
    PortTable t;
    for (int n = first; n <= 24; ++n)
        t.append(filler(n));
    return t;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return f.readAll();
}

QStringList dirEntries(const QString& dir) {
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// The chooser answers path for every dialog and records what it was asked.
struct ChooserLog {
    QList<Kind> kinds;
    QStringList starts;
};

void answerWith(WindowFixture& f, const QString& path, ChooserLog* log = nullptr) {
    f.window->setFileChooser([path, log](Kind kind, const QString& start) {
        if (log) {
            log->kinds.append(kind);
            log->starts.append(start);
        }
        return path;
    });
}

void load(WindowFixture& f, const QByteArray& bytes) {
    const QString path = f.dir.filePath(QStringLiteral("load.krv"));
    writeFile(path, bytes);
    answerWith(f, path);
    f.window->loadConfiguration();
}

// Every cell of the list, row by row, as the view's model shows it.
PortTable listed(MainWindow& w) {
    const QAbstractItemModel* m = Child<QTreeView>(w, "portList")->model();
    PortTable t;
    for (int r = 0; r < m->rowCount(); ++r) {
        PortEntry e;
        for (int c = 0; c < PortEntry::FieldCount; ++c)
            e.field(c) = m->index(r, c).data().toString();
        t.append(e);
    }
    return t;
}

void selectRows(QTreeView* view, const QList<int>& rows) {
    view->clearSelection();
    for (int r : rows)
        view->selectionModel()->select(view->model()->index(r, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

std::array<std::uint8_t, 32> knownReservedBytes() {
    std::array<std::uint8_t, 32> b{};
    for (int i = 0; i < 32; ++i)
        b[i] = std::uint8_t(i);
    b[1] = 10;
    b[2] = 255;
    b[3] = 0x80;
    return b; // 0 first, and 13 and 26 at their own positions
}

// A configuration with every saved value set apart from its start value.
void fillKnownConfiguration(DeviceConfiguration& c) {
    c.resetPortTable();
    c.ports[0] = entry({"1", "3", text::Sync, "1200", text::Internal, text::RisingEdge,
                        text::Positive, text::On, "00ABCD", text::Added});
    c.ports[1] = entry({"2", "7", text::Pocsag, "512", text::None, text::FallingEdge,
                        text::Negative, text::Off, "", ""});
    c.ports[4] = entry({"5", "12", text::Sync, "2400", text::External, text::FallingEdge,
                        text::Positive, text::On, "000000", text::Modified});
    c.info.serialNumber = 12345678;
    c.info.address = 4660;
    c.gps = GpsParams{1, 1};
    c.trunk.trunkPort = 2;
    c.trunk.clockPolarity = 0;
    c.trunk.dataPolarity = 1;
    c.trunk.carrierLevel = 1;
    c.trunk.delayEnabled = 1;
    c.trunk.delayCyclesA = 1000;
    c.trunk.delayCyclesB = -7;
    c.reserved.value = 200;
    c.reserved.text = gbk::Reserved + "x";
    c.reserved.bytes = knownReservedBytes();
    c.deviceModel = text::ModelAB;
}

// The file fillKnownConfiguration saves, written out from the format.
QByteArray knownConfigurationBytes() {
    QByteArray out = header({"12345678", "4660", "1", "1", "1", "1000", "-7", "2",
                             "1", // data polarity comes before the clock polarity
                             "0", "200", gbk::Reserved + "x"},
                            knownReservedBytes());
    out += fileRow("1", {"3", gbk::Sync, "1200", gbk::Internal, gbk::Rising, gbk::Positive, gbk::On,
                         "00ABCD", gbk::Added});
    out += fileRow("2", {"7", "POCSAG", "512", "-", gbk::Falling, gbk::Negative, gbk::Off, "", ""});
    for (int n = 3; n <= 24; ++n) {
        if (n == 5)
            out += fileRow("5", {"12", gbk::Sync, "2400", gbk::External, gbk::Falling,
                                 gbk::Positive, gbk::On, "000000", gbk::Modified});
        else
            out += fileRow(QByteArray::number(n), {"-", "-", "-", "-", "-", "-", "-", "", ""});
    }
    return out;
}

// A channel file with records 3 (同步 at 512), 5 (异步) and 7 (POCSAG), and its delay
// file beside it. Returns the channel file's path.
QString writeChannelFiles(const QString& dir) {
    const QString path = QDir(dir).filePath(QStringLiteral("channels.chn"));
    QByteArray chn = lines({"Korvane channels", "2"});
    chn += lines({"3", toCp936(u"同步"), "512", toCp936(u"外部"), toCp936(u"下降沿(负)"), "1"});
    chn += lines({"5", toCp936(u"异步"), "2400", toCp936(u"外部"), toCp936(u"下降沿(负)"), "2"});
    chn += lines({"7", "POCSAG", "1200", toCp936(u"内部"), toCp936(u"上升沿(正)"), "1"});
    writeFile(path, chn);
    writeFile(QDir(dir).filePath(QStringLiteral("channels.ini")),
              lines({"[DELAY]", "3=00ABCD", "5=001234", "7=000777"}));
    return path;
}

void chooseChannelFile(WindowFixture& f, const QString& path) {
    answerWith(f, path);
    f.window->chooseChannelFile();
}

// Acts on the channel dialog once it is up; whatever act did, the dialog is closed
// afterwards so that a failed check never leaves the test waiting.
[[nodiscard]] std::shared_ptr<bool> onChannelDialog(std::function<void(ChannelDialog&)> act) {
    return WhenModal([act](QWidget* w) {
        auto* dialog = qobject_cast<ChannelDialog*>(w);
        QTest::qVerify(dialog != nullptr, "dialog", "the channel dialog", __FILE__, __LINE__);
        if (dialog)
            act(*dialog);
        if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible())
            d->reject();
    });
}

QTreeWidgetItem* channelItem(ChannelDialog& d, const QString& channel) {
    for (int i = 0; i < Child<QTreeWidget>(d, "channelList")->topLevelItemCount(); ++i)
        if (Child<QTreeWidget>(d, "channelList")->topLevelItem(i)->text(0) == channel)
            return Child<QTreeWidget>(d, "channelList")->topLevelItem(i);
    return nullptr;
}

} // namespace

class TestMainWindowFiles : public QObject {
    Q_OBJECT
private slots:
    // ---- saving and loading ------------------------------------------------------

    void saveThenLoadGivesBackTheConfiguration() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        fillKnownConfiguration(w.config());
        w.config().setPorts(w.config().ports);
        const DeviceConfiguration& c = w.config();
        const PortTable before = c.ports;
        const TrunkParams trunk = c.trunk;
        const ReservedBlock reserved = c.reserved;

        const QString path = f.dir.filePath(QStringLiteral("round.krv"));
        ChooserLog log;
        answerWith(f, path, &log);
        Child<QAction>(w, "saveConfigurationAction")->trigger();
        QCOMPARE(log.kinds, QList<Kind>({Kind::SaveConfiguration}));
        QCOMPARE(f.Texts(), QStringList({Saved}));
        QCOMPARE(f.messages[0].caption, text::CaptionKorvane);
        QCOMPARE(f.messages[0].icon, MessageIcon::Information);

        // Everything back to start values (the carrier level stays, it is not saved).
        w.config().resetPortTable();
        w.config().info = DeviceInfo{};
        w.config().gps = GpsParams{};
        w.config().trunk = TrunkParams{};
        w.config().trunk.carrierLevel = 1;
        w.config().reserved = ReservedBlock{};
        w.config().setPorts(w.config().ports);
        Child<QLineEdit>(w, "serialNumberField")->setText(QStringLiteral("00000001"));
        Child<QLineEdit>(w, "addressField")->setText(QStringLiteral("000001"));

        Child<QAction>(w, "loadConfigurationAction")->trigger();
        QCOMPARE(log.kinds.last(), Kind::LoadConfiguration);
        QCOMPARE(f.messages.size(), 1); // the load shows nothing

        PortTable expected = before;
        for (PortEntry& e : expected)
            for (int col = 0; col < PortEntry::FieldCount; ++col)
                if (e.field(col).isEmpty())
                    e.field(col) = text::None;
        QCOMPARE(c.ports, expected);
        QCOMPARE(listed(w), expected);
        QCOMPARE(c.info.serialNumber, 12345678u);
        QCOMPARE(c.info.address, 4660u);
        QCOMPARE(Child<QLineEdit>(w, "serialNumberField")->text(), QStringLiteral("12345678"));
        QCOMPARE(Child<QLineEdit>(w, "addressField")->text(), QStringLiteral("4660"));
        QCOMPARE(c.gps, (GpsParams{1, 1}));
        QCOMPARE(c.trunk, trunk);
        QCOMPARE(c.reserved, reserved);
        QVERIFY2(Child<QLabel>(w, "trunkSummaryLabel")
                     ->text()
                     .startsWith(QStringLiteral("GPS:允许 GPS极性:负")),
                 qPrintable(Child<QLabel>(w, "trunkSummaryLabel")->text()));
        QVERIFY(
            Child<QLabel>(w, "trunkSummaryLabel")->text().contains(QStringLiteral("干线口:TB")));
    }

    void saveWritesTheFormat() {
        WindowFixture f;
        f.Show();
        fillKnownConfiguration(f.window->config());
        // The fields show other texts; the file takes the configuration's numbers.
        Child<QLineEdit>(f.window, "serialNumberField")->setText(QStringLiteral("00000001"));
        const QString path = f.dir.filePath(QStringLiteral("known.krv"));
        answerWith(f, path);
        f.window->saveConfiguration();
        QCOMPARE(f.Texts(), QStringList({Saved}));
        const QByteArray written = readFile(path);
        const QByteArray expected = knownConfigurationBytes();
        if (written != expected) {
            qsizetype i = 0;
            while (i < written.size() && i < expected.size() && written[i] == expected[i])
                ++i;
            qWarning() << "first difference at byte" << i << written.mid(i, 24)
                       << expected.mid(i, 24);
        }
        QCOMPARE(written.size(), expected.size());
        QVERIFY(written == expected);
    }

    // How rows become the table; the keys and fillers alone are the file's own test.
    void loadRows_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<PortTable>("expected");

        QTest::newRow("keys 1, 2, 5")
            << plainHeader() + assignedFileRow(1) + assignedFileRow(2) + assignedFileRow(5)
            << PortTable{assignedEntry(1), assignedEntry(2), filler(3), filler(4),
                         assignedEntry(5)} +
                   fillersFrom(6);

        // Keys not above the next number add their row without fillers.
        QTest::newRow("repeated and non-numeric keys")
            << plainHeader() + assignedFileRow(1) +
                   fileRow("1", {"9", "POCSAG", "512", "-", gbk::Falling, gbk::Negative, gbk::Off,
                                 "", gbk::Added}) +
                   fileRow("x", {"", "", "", "", "", "", "", "", ""}) + assignedFileRow(4)
            << PortTable{assignedEntry(1),
                         entry({"1", "9", "POCSAG", "512", "-", text::FallingEdge, text::Negative,
                                text::Off, "-", text::Added}),
                         entry({"x", "-", "-", "-", "-", "-", "-", "-", "-", "-"}),
                         assignedEntry(4)} +
                   fillersFrom(5);

        // The last row ends early: its missing columns stay empty, not "-".
        QTest::newRow("row cut short")
            << plainHeader() + assignedFileRow(1) + lines({"2", "5", gbk::Sync})
            << PortTable{assignedEntry(1),
                         entry({"2", "5", text::Sync, "", "", "", "", "", "", ""})} +
                   fillersFrom(3);

        // A lone LF is part of the text; a byte 26 ends the file.
        QTest::newRow("LF in a cell, then Ctrl-Z")
            << plainHeader() +
                   fileRow("1", {"3", gbk::Sync, "1200", gbk::Internal, gbk::Rising, gbk::Positive,
                                 gbk::On, "", "a\nb"}) +
                   "\x1A" + assignedFileRow(2)
            << PortTable{entry({"1", "3", text::Sync, "1200", text::Internal, text::RisingEdge,
                                text::Positive, text::On, "-", "a\nb"})} +
                   fillersFrom(2);
    }

    void loadRows() {
        QFETCH(QByteArray, file);
        QFETCH(PortTable, expected);
        WindowFixture f;
        f.Show();
        load(f, file);
        QCOMPARE(f.Texts(), QStringList());
        QCOMPARE(f.window->config().ports.size(), 24);
        QCOMPARE(f.window->config().ports, expected);
        QCOMPARE(listed(*f.window), expected);
    }

    void loadHeader_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("idText");
        QTest::addColumn<QString>("addressText");
        QTest::addColumn<quint32>("serial");
        QTest::addColumn<quint32>("address");
        QTest::addColumn<GpsParams>("gps");
        QTest::addColumn<TrunkParams>("trunk"); // carrier level 0, as in memory
        QTest::addColumn<ReservedBlock>("reserved");

        const std::array<std::uint8_t, 32> bytes = knownReservedBytes();
        QTest::newRow("all values") << header({"123", "0042", "1", "1", "0", "-5", "9", "2", "1",
                                               "0", "300", gbk::Reserved},
                                              bytes)
                                    << "123"
                                    << "0042" << 123u << 42u << GpsParams{1, 1}
                                    << TrunkParams{.trunkPort = 2,
                                                   .clockPolarity = 0,
                                                   .dataPolarity = 1,
                                                   .carrierLevel = 0,
                                                   .delayEnabled = 0,
                                                   .delayCyclesA = -5,
                                                   .delayCyclesB = 9}
                                    << ReservedBlock{300 & 0xFF, gbk::Reserved, bytes};
    }

    void loadHeader() {
        QFETCH(QByteArray, file);
        QFETCH(QString, idText);
        QFETCH(QString, addressText);
        QFETCH(quint32, serial);
        QFETCH(quint32, address);
        QFETCH(GpsParams, gps);
        QFETCH(TrunkParams, trunk);
        QFETCH(ReservedBlock, reserved);
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        load(f, file);
        QCOMPARE(f.Texts(), QStringList());
        QCOMPARE(Child<QLineEdit>(w, "serialNumberField")->text(), idText);
        QCOMPARE(Child<QLineEdit>(w, "addressField")->text(), addressText);
        QCOMPARE(w.config().info.serialNumber, serial);
        QCOMPARE(w.config().info.address, address);
        QCOMPARE(w.config().gps, gps);
        QCOMPARE(w.config().trunk, trunk);
        QCOMPARE(w.config().reserved, reserved);
        QVERIFY(Child<QLabel>(w, "trunkSummaryLabel")->text().startsWith(QStringLiteral("GPS:")));
    }

    // A file given by its path (korvane FILE.krv) loads as the menu entry loads it, with
    // the same message when it cannot, and the working folder stays.
    void loadByPath() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        QTemporaryDir elsewhere;
        const QString path = elsewhere.filePath(QStringLiteral("given.krv"));
        writeFile(path, header({"55", "66", "0", "0", "0", "0", "0", "0", "0", "0", "0", ""}));
        w.loadConfigurationFile(path);
        QCOMPARE(w.config().info.serialNumber, 55u);
        QCOMPARE(Child<QLineEdit>(w, "addressField")->text(), QStringLiteral("66"));
        QCOMPARE(QDir::currentPath(), QDir(f.dir.path()).canonicalPath());

        QFile::remove(path);
        w.loadConfigurationFile(path);
        answerWith(f, path);
        w.loadConfiguration();
        QCOMPARE(f.Texts().size(), 2);
        QCOMPARE(f.Texts()[0], f.Texts()[1]);
    }

    // A 32-bit serial number and a 24-bit address have more digits than the fields
    // take when typed. The loaded texts must show whole, and leaving the fields must
    // not cut the numbers.
    void longNumbersShowWhole() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        load(f, header({"123456789", "16777215", "0", "0", "0", "0", "0", "0", "0", "0", "0", ""}));
        QCOMPARE(w.config().info.serialNumber, 123456789u);
        QCOMPARE(w.config().info.address, 16777215u);
        // Passing through the fields keeps the numbers.
        Child<QLineEdit>(w, "serialNumberField")->setFocus();
        QTRY_VERIFY(Child<QLineEdit>(w, "serialNumberField")->hasFocus());
        Child<QLineEdit>(w, "addressField")->setFocus();
        QTRY_VERIFY(Child<QLineEdit>(w, "addressField")->hasFocus());
        Child<QPushButton>(w, "readButton")->setFocus();
        QTRY_VERIFY(Child<QPushButton>(w, "readButton")->hasFocus());
        QCOMPARE(w.config().info.serialNumber, 123456789u);
        QCOMPARE(w.config().info.address, 16777215u);
        QCOMPARE(Child<QLineEdit>(w, "serialNumberField")->text(), QStringLiteral("123456789"));
        QCOMPARE(Child<QLineEdit>(w, "addressField")->text(), QStringLiteral("16777215"));
    }

    // With the trunk delay on and no model known (so before any read, no flag ever
    // set), the summary fails after everything was loaded; the label keeps the text
    // and the colours it had.
    void loadWithTrunkDelayBeforeIdentification() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        load(f, plainHeader());
        const QString summary = Child<QLabel>(w, "trunkSummaryLabel")->text();
        QVERIFY2(summary.startsWith(QStringLiteral("GPS:禁止")), qPrintable(summary));

        load(f, header({"55", "66", "1", "0", "1", "300", "400", "1", "0", "1", "0", ""}) +
                    assignedFileRow(1));
        QCOMPARE(f.Texts(), QStringList({QStringLiteral("Korvane 版本错误！.")}));
        QCOMPARE(f.messages[0].caption, QCoreApplication::applicationName());
        QCOMPARE(f.messages[0].icon, MessageIcon::Error);
        QCOMPARE(Child<QLabel>(w, "trunkSummaryLabel")->text(), summary);
        QVERIFY(!w.config().isTrunkRefreshed());
        QCOMPARE(Child<QLabel>(w, "trunkSummaryLabel")->palette().color(QPalette::Window),
                 QColor(255, 255, 0));
        QCOMPARE(w.config().ports[0], assignedEntry(1));
        QCOMPARE(listed(w)[0], assignedEntry(1));
        QCOMPARE(w.config().info.serialNumber, 55u);
        QCOMPARE(Child<QLineEdit>(w, "addressField")->text(), QStringLiteral("66"));
        QCOMPARE(w.config().trunk.delayEnabled, 1);
        QCOMPARE(w.config().trunk.delayCyclesA, 300);
        QCOMPARE(w.config().trunk.clockPolarity, 1);
        QCOMPARE(w.config().gps.gpsEnabled, 1);
    }

    void loadLeavesWhatTheFileDoesNotHold() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        DeviceConfiguration& c = w.config();
        c.trunk.carrierLevel = 1;
        c.pocsagDelay = 0x123456;
        c.flexDelay = 0x654321;
        c.deviceModel = text::ModelSingle;
        c.info.deviceName = QStringLiteral("dev");
        c.info.station = QStringLiteral("station");
        c.channelDelayEnabled = false;
        load(f, header({"1", "1", "0", "0", "1", "77", "88", "0", "0", "0", "0", ""}));
        QCOMPARE(f.Texts(), QStringList());
        QCOMPARE(c.trunk.carrierLevel, 1);
        QCOMPARE(c.trunk.delayCyclesA, 77);
        QCOMPARE(c.pocsagDelay, 0x123456);
        QCOMPARE(c.flexDelay, 0x654321);
        QCOMPARE(c.deviceModel, text::ModelSingle);
        QCOMPARE(c.info.deviceName, QStringLiteral("dev"));
        QCOMPARE(c.info.station, QStringLiteral("station"));
        QVERIFY(!c.channelDelayEnabled);
        // The summary shows the carrier level that was in memory.
        QVERIFY2(
            Child<QLabel>(w, "trunkSummaryLabel")->text().contains(QStringLiteral("延时周期：77 ")),
            qPrintable(Child<QLabel>(w, "trunkSummaryLabel")->text()));
        QVERIFY(
            Child<QLabel>(w, "trunkSummaryLabel")->text().contains(QStringLiteral("载波电平:低")));
    }

    void loadLeavesRefreshFlags_data() {
        QTest::addColumn<bool>("refreshed");
        QTest::addColumn<bool>("trunkRefreshed");
        QTest::newRow("both refreshed") << true << true;
        QTest::newRow("ports changed") << false << true;
        QTest::newRow("both changed") << false << false;
    }

    void loadLeavesRefreshFlags() {
        QFETCH(bool, refreshed);
        QFETCH(bool, trunkRefreshed);
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        w.config().setRefreshed(true);
        if (!trunkRefreshed)
            w.config().setTrunkRefreshed(false);
        if (!refreshed)
            w.config().setRefreshed(false);
        const QString label8 = Child<QLabel>(w, "refreshLabel")->text();
        const QColor trunkColour =
            Child<QLabel>(w, "trunkSummaryLabel")->palette().color(QPalette::Window);
        load(f, plainHeader() + assignedFileRow(1));
        QCOMPARE(f.Texts(), QStringList());
        QCOMPARE(w.config().isRefreshed(), refreshed);
        QCOMPARE(w.config().isTrunkRefreshed(), trunkRefreshed);
        QCOMPARE(Child<QLabel>(w, "refreshLabel")->text(), label8);
        QCOMPARE(Child<QLabel>(w, "trunkSummaryLabel")->palette().color(QPalette::Window),
                 trunkColour);
    }

    void loadedEditMarksPaintRowsRed() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        const QByteArrayList rest{gbk::Sync,   "1200",        gbk::Internal,
                                  gbk::Rising, gbk::Positive, gbk::On};
        load(f, plainHeader() + fileRow("1", QByteArrayList{"3"} + rest + QByteArrayList{"", ""}) +
                    fileRow("2", QByteArrayList{"4"} + rest + QByteArrayList{"", gbk::Added}) +
                    fileRow("3", QByteArrayList{"5"} + rest + QByteArrayList{"", gbk::Modified}) +
                    fileRow("4", QByteArrayList{"6"} + rest + QByteArrayList{"", "-"}));
        QCOMPARE(w.config().ports[1].remark, text::Added);
        const QAbstractItemModel* m = Child<QTreeView>(w, "portList")->model();
        const QList<bool> red{false, true, true, false, false};
        for (int row = 0; row < red.size(); ++row) {
            for (int col : {0, 5, 9}) {
                const QModelIndex i = m->index(row, col);
                QCOMPARE(i.data(Qt::BackgroundRole).value<QColor>(),
                         red[row] ? QColor(255, 0, 0) : QColor(Qt::white));
                QCOMPARE(i.data(Qt::ForegroundRole).value<QColor>(),
                         red[row] ? QColor(Qt::white) : QColor(Qt::black));
            }
        }
    }

    // ---- failing and refused saves ------------------------------------------------

    // A save that fails is reported and leaves old and new files be: a folder that is
    // a file, a text the format cannot hold (every such text, and a write failing
    // part-way, are the file's own tests).
    void failedSaveKeepsTheOldFile_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("remark"); // of row 3
        QTest::addColumn<QString>("message");
        QTest::newRow("folder is a file") << "old.krv/new.krv"
                                          << ""
                                          << "";
        QTest::newRow("text breaks a line into an old file")
            << "old.krv"
            << "a\rb"
            << "端口表第3行“备注”列的文字含有回车符或文件结束符（Ctrl-Z），无法保存配置文件。";
        QTest::newRow("text breaks a line into a new file")
            << "new.krv"
            << "a\rb"
            << "端口表第3行“备注”列的文字含有回车符或文件结束符（Ctrl-Z），无法保存配置文件。";
    }

    void failedSaveKeepsTheOldFile() {
        QFETCH(QString, target);
        QFETCH(QString, remark);
        QFETCH(QString, message);
        WindowFixture f;
        f.Show();
        fillKnownConfiguration(f.window->config());
        if (!remark.isEmpty())
            f.window->config().ports[2].remark = remark;
        const QByteArray old = plainHeader() + assignedFileRow(1);
        const QString existing = f.dir.filePath(QStringLiteral("old.krv"));
        writeFile(existing, old);
        const QStringList entries = dirEntries(f.dir.path());
        answerWith(f, f.dir.filePath(target));
        f.window->saveConfiguration();
        QCOMPARE(f.messages.size(), 1);
        if (message.isEmpty()) // the system's words, naming the folder
            QVERIFY2(f.messages[0].text.contains(existing), qPrintable(f.messages[0].text));
        else
            QCOMPARE(f.messages[0].text, message);
        QCOMPARE(f.messages[0].caption, QCoreApplication::applicationName());
        QCOMPARE(f.messages[0].icon, MessageIcon::Error);
        QVERIFY(readFile(existing) == old);
        QCOMPARE(dirEntries(f.dir.path()), entries); // no temporary file left behind
    }

    // ---- cancelled dialogs and the channel file ---------------------------------

    void cancelledDialogsChangeNothing_data() {
        QTest::addColumn<int>("kind");
        QTest::newRow("save") << int(Kind::SaveConfiguration);
        QTest::newRow("load") << int(Kind::LoadConfiguration);
        QTest::newRow("channel file") << int(Kind::ChooseChannelFile);
    }

    void cancelledDialogsChangeNothing() {
        QFETCH(int, kind);
        WindowFixture f(QStringLiteral("[Setting]\r\nCommName={PTY}\r\nChannelFile=") +
                        QDir(QDir::tempPath()).filePath(QStringLiteral("x/old.chn")) +
                        QStringLiteral("\r\n"));
        f.Show();
        MainWindow& w = *f.window;
        fillKnownConfiguration(w.config());
        w.config().setPorts(w.config().ports);
        const QString channelFile = w.config().channelFileName;
        const PortTable ports = w.config().ports;
        const TrunkParams trunk = w.config().trunk;
        const ReservedBlock reserved = w.config().reserved;
        const QString id = Child<QLineEdit>(w, "serialNumberField")->text();
        const QString summary = Child<QLabel>(w, "trunkSummaryLabel")->text();
        const QByteArray ini = readFile(f.dir.filePath(QStringLiteral("KORVANE.INI")));
        const QStringList entries = dirEntries(f.dir.path());

        ChooserLog log;
        answerWith(f, QString(), &log);
        QAction* action =
            kind == int(Kind::SaveConfiguration)   ? Child<QAction>(w, "saveConfigurationAction")
            : kind == int(Kind::LoadConfiguration) ? Child<QAction>(w, "loadConfigurationAction")
                                                   : Child<QAction>(w, "openChannelFileAction");
        action->trigger();
        QCOMPARE(log.kinds, QList<Kind>({Kind(kind)}));
        // Each dialog starts where it should: the save in the directory current when
        // the window was shown, the channel file at the current channel file.
        if (kind == int(Kind::SaveConfiguration))
            QCOMPARE(QFileInfo(log.starts[0]).canonicalFilePath(),
                     QFileInfo(f.dir.path()).canonicalFilePath());
        if (kind == int(Kind::ChooseChannelFile))
            QCOMPARE(log.starts[0], channelFile);

        QCOMPARE(f.Texts(), QStringList());
        QCOMPARE(w.config().channelFileName, channelFile);
        QCOMPARE(w.config().ports, ports);
        QCOMPARE(listed(w), ports);
        QCOMPARE(w.config().trunk, trunk);
        QCOMPARE(w.config().reserved, reserved);
        QCOMPARE(w.config().info.serialNumber, 12345678u);
        QCOMPARE(Child<QLineEdit>(w, "serialNumberField")->text(), id);
        QCOMPARE(Child<QLabel>(w, "trunkSummaryLabel")->text(), summary);
        QVERIFY(readFile(f.dir.filePath(QStringLiteral("KORVANE.INI"))) == ini);
        QCOMPARE(dirEntries(f.dir.path()), entries);
    }

    void chooseChannelFileWritesTheSetting() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        const QString first = f.dir.filePath(QStringLiteral("信道.chn"));
        const QString second = f.dir.filePath(QStringLiteral("b.chn"));
        const QString iniPath = f.dir.filePath(QStringLiteral("KORVANE.INI"));
        const QByteArray start = readFile(iniPath);
        QCOMPARE(start, ("[Setting]\r\nCommName=" + f.port + "\r\n").toLatin1());

        ChooserLog log;
        answerWith(f, first, &log);
        w.chooseChannelFile();
        QCOMPARE(log.kinds, QList<Kind>({Kind::ChooseChannelFile}));
        QCOMPARE(log.starts, QStringList({QString()}));
        QCOMPARE(w.config().channelFileName, first);
        const QByteArray firstBytes = f.dir.path().toLatin1() + "/" + gbk::Channel + ".chn";
        QVERIFY2(readFile(iniPath) == start + "ChannelFile=" + firstBytes + "\r\n",
                 readFile(iniPath).constData());

        // A second choice replaces the key in place and starts at the first file.
        answerWith(f, second, &log);
        Child<QAction>(w, "openChannelFileAction")->trigger();
        QCOMPARE(log.starts.last(), first);
        QCOMPARE(w.config().channelFileName, second);
        QVERIFY2(readFile(iniPath) == start + "ChannelFile=" + second.toLatin1() + "\r\n",
                 readFile(iniPath).constData());
        QVERIFY(f.messages.isEmpty());
    }

    // ---- binding ports to channels -------------------------------------------------

    void bindChannel_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("channel");
        QTest::addColumn<int>("polarity"); // item to click, -1 none
        QTest::addColumn<int>("state");
        QTest::addColumn<PortEntry>("expected"); // row 4

        QTest::newRow("512 becomes 1200, KORVANE")
            << text::ModelSingle << "3" << 1 << 1
            << entry({"4", "3", text::Sync, "1200", text::External, text::FallingEdge,
                      text::Negative, text::Off, "00ABCD", ""});
        QTest::newRow("asynchronous, model unknown")
            << text::ModelUnknown << "5" << -1 << -1
            << entry({"4", "5", text::Sync, "2400", text::Internal, text::RisingEdge,
                      text::Positive, text::On, "001234", ""});
        QTest::newRow("POCSAG, KORVANEA/B")
            << text::ModelAB << "7" << 0 << 1
            << entry({"4", "7", text::Pocsag, "1200", text::None, text::RisingEdge, text::Positive,
                      text::Off, "000777", ""});
        // Row 1 holds "05", the same channel as "5": refused, nothing changes.
        QTest::newRow("channel held by another row")
            << text::ModelUnknown << "5" << -1 << -1 << PortEntry::unassigned(4);
    }

    void bindChannel() {
        QFETCH(QString, model);
        QFETCH(QString, channel);
        QFETCH(int, polarity);
        QFETCH(int, state);
        QFETCH(PortEntry, expected);
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        w.config().deviceModel = model;
        chooseChannelFile(f, writeChannelFiles(f.dir.path()));
        w.config().setRefreshed(true);
        const bool held = expected == PortEntry::unassigned(4);
        if (held)
            w.config().ports[0].channel = QStringLiteral("05");
        const PortTable before = w.config().ports;

        bool delayEnabled = true;
        int listedChannels = -1;
        const auto seen = onChannelDialog([&](ChannelDialog& d) {
            listedChannels = Child<QTreeWidget>(d, "channelList")->topLevelItemCount();
            delayEnabled = Child<QLineEdit>(d, "delayField")->isEnabled();
            if (QTreeWidgetItem* item = channelItem(d, channel))
                Child<QTreeWidget>(d, "channelList")->setCurrentItem(item);
            if (polarity >= 0)
                Child<RadioGroup>(d, "polarityGroup")->item(polarity)->click();
            if (state >= 0)
                Child<RadioGroup>(d, "portStateGroup")->item(state)->click();
            Child<QPushButton>(d, "okButton")->click();
        });
        selectRows(Child<QTreeView>(w, "portList"), {3});
        w.onPortListDoubleClicked();
        QVERIFY(*seen);
        QCOMPARE(listedChannels, 3);
        QCOMPARE(delayEnabled, model == text::ModelAB);
        QCOMPARE(f.Texts(),
                 held ? QStringList{"\"5\"信道已被选择，请选择一未选择的信道。"} : QStringList{});
        for (const ShownMessage& m : f.messages)
            QCOMPARE(m.caption + u' ' + QString::number(int(m.icon)),
                     text::CaptionOrlendis + u' ' + QString::number(int(MessageIcon::Error)));
        PortTable after = before;
        after[3] = expected;
        QCOMPARE(w.config().ports, after);
        QCOMPARE(listed(w), after);
        QVERIFY(w.config().isRefreshed()); // binding leaves the flags
    }

    void bindWithMissingChannelFile() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        const QString missing = f.dir.filePath(QStringLiteral("missing.chn"));
        chooseChannelFile(f, missing);
        w.config().ports[2].channel = QStringLiteral("3");
        const PortTable before = w.config().ports;

        int listedChannels = -1;
        QList<ShownMessage> whileOpen;
        bool stayedOpen = false;
        const auto seen = onChannelDialog([&](ChannelDialog& d) {
            listedChannels = Child<QTreeWidget>(d, "channelList")->topLevelItemCount();
            whileOpen = f.messages;
            Child<QPushButton>(d, "okButton")->click(); // refused: nothing to choose
            stayedOpen = d.isVisible();
            Child<QPushButton>(d, "cancelButton")->click();
        });
        selectRows(Child<QTreeView>(w, "portList"), {2});
        w.onPortListDoubleClicked();
        QVERIFY(*seen);
        QCOMPARE(listedChannels, 0);
        QCOMPARE(whileOpen.size(), 1);
        QVERIFY(!whileOpen[0].text.isEmpty());
        QCOMPARE(whileOpen[0].caption, QCoreApplication::applicationName());
        QCOMPARE(whileOpen[0].icon, MessageIcon::Error);
        QVERIFY(stayedOpen);
        QCOMPARE(f.Texts().mid(1), QStringList({QStringLiteral("请选择对应的信道。")}));
        QCOMPARE(f.messages[1].caption, text::CaptionKorvane);
        QCOMPARE(w.config().ports, before);
    }

    // The dialog starts from the lowest selected row, and only that row is bound.
    void bindFirstOfSeveralSelectedRows() {
        WindowFixture f;
        f.Show();
        MainWindow& w = *f.window;
        chooseChannelFile(f, writeChannelFiles(f.dir.path()));
        PortEntry& row2 = w.config().ports[2];
        row2 = entry({"3", "7", text::Pocsag, "1200", text::None, text::RisingEdge, text::Negative,
                      text::Off, "000777", text::Added});
        w.config().setPorts(w.config().ports);
        const PortTable before = w.config().ports;

        QString preselected;
        int polarity = -1;
        const auto seen = onChannelDialog([&](ChannelDialog& d) {
            if (QTreeWidgetItem* current = Child<QTreeWidget>(d, "channelList")->currentItem())
                preselected = current->text(0);
            polarity = Child<RadioGroup>(d, "polarityGroup")->itemIndex();
            if (QTreeWidgetItem* item = channelItem(d, QStringLiteral("3")))
                Child<QTreeWidget>(d, "channelList")->setCurrentItem(item);
            Child<QPushButton>(d, "okButton")->click();
        });
        selectRows(Child<QTreeView>(w, "portList"), {9, 2, 6});
        w.onPortListDoubleClicked();
        QVERIFY(*seen);
        QCOMPARE(preselected, QStringLiteral("7"));
        QCOMPARE(polarity, 1); // "负", the row's own polarity
        PortTable after = before;
        after[2] = entry({"3", "3", text::Sync, "1200", text::External, text::FallingEdge,
                          text::Negative, text::Off, "00ABCD", text::Added});
        QCOMPARE(w.config().ports, after);
        QCOMPARE(listed(w), after);
    }

    // ---- the communication monitor -------------------------------------------------

    void monitorShowsTheTraffic() {
        MonitorWindow monitor;
        WindowFixture f(QStringLiteral("[Setting]\r\nCommName={PTY}\r\ndebug=1\r\n"));
        f.window->attachMonitor(&monitor);
        f.Show();
        MainWindow& w = *f.window;
        Child<QPushButton>(w, "readButton")->click();
        QCOMPARE(f.Texts(), QStringList());
        const QList<ByteBuffer> requests = f.sim.framesReceived();
        QTRY_COMPARE(f.sim.framesSent().size(), requests.size());
        const QList<ByteBuffer> answers = f.sim.framesSent();
        QCOMPARE(requests.size(), 7); // the probe and six reads
        QTRY_COMPARE(monitor.lineCount(), 4 * int(requests.size()));

        const auto hex = [](const ByteBuffer& bytes) {
            QString s = QStringLiteral("0x");
            for (std::uint8_t b : bytes)
                s += QStringLiteral("%1 ").arg(b, 2, 16, QLatin1Char('0')).toUpper();
            return s;
        };
        const QStringList shown =
            Child<QPlainTextEdit>(monitor, "logView")->toPlainText().split(u'\n');
        QCOMPARE(shown.size(), 4 * requests.size());
        QCOMPARE(shown[0], f.port + QStringLiteral(" Command: ~(\x7F"));
        QCOMPARE(shown[1], QStringLiteral("0x7E 28 7F "));
        for (qsizetype i = 0; i < requests.size(); ++i) {
            QVERIFY2(shown[4 * i].startsWith(f.port + QStringLiteral(" Command: ")),
                     qPrintable(shown[4 * i]));
            QCOMPARE(shown[4 * i + 1], hex(requests[i]));
            QVERIFY2(shown[4 * i + 2].startsWith(f.port + QStringLiteral(" Response: ")),
                     qPrintable(shown[4 * i + 2]));
            QCOMPARE(shown[4 * i + 3], hex(answers[i]));
        }

        QVERIFY(!monitor.isVisible());
        w.onDeviceInfoDoubleClicked();
        QCoreApplication::processEvents();
        QVERIFY(monitor.isVisible());
        QVERIFY(!monitor.isModal());
        monitor.hide();
        QTest::mouseDClick(Child<QGroupBox>(w, "deviceInfoGroup"), Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(monitor.isVisible());
        QCOMPARE(monitor.lineCount(), 4 * int(requests.size())); // hiding kept the lines

        // "返回" ends the program, whatever else is open.
        Child<QPushButton>(w, "closeButton")->click();
        QVERIFY(!w.isVisible());
        QVERIFY(!monitor.isVisible());
    }

    void monitorSilentWithoutDebug() {
        MonitorWindow monitor;
        WindowFixture f;
        f.window->attachMonitor(&monitor);
        f.Show();
        MainWindow& w = *f.window;
        QVERIFY(!w.isDebug());
        Child<QPushButton>(w, "readButton")->click();
        QCOMPARE(f.Texts(), QStringList());
        QCOMPARE(f.ReceivedCodes().size(), 7);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCOMPARE(monitor.lineCount(), 0);
        QVERIFY(Child<QPlainTextEdit>(monitor, "logView")->toPlainText().isEmpty());

        w.onDeviceInfoDoubleClicked();
        QTest::mouseDClick(Child<QGroupBox>(w, "deviceInfoGroup"), Qt::LeftButton);
        QCoreApplication::processEvents();
        QVERIFY(!monitor.isVisible());
    }
};

QTEST_MAIN(TestMainWindowFiles)
#include "test_main_window_files.moc"
