// SPDX-License-Identifier: MIT
// What the operator is told of a port that will not open: the problem each error
// number of this system means, and the reason and hint of each problem.

#include "link/PortOpenFailure.h"

#include <QtTest>

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#endif

using namespace korvane;

Q_DECLARE_METATYPE(korvane::PortProblem)

namespace {

const QString Holder = QStringLiteral("minicom（进程 4242）");

} // namespace

class TestPortOpenFailure : public QObject {
    Q_OBJECT
private slots:
    void byErrorNumber_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<PortProblem>("problem");
        QTest::addColumn<QString>("inReason"); // besides the port's name
        QTest::addColumn<QString>("inHint");
        const QString plugIn = QStringLiteral("请插上串口适配器，或选择另一个端口。");
        const QString closeHolder = QStringLiteral("请关闭占用它的程序后再试");
#if defined(_WIN32)
        QTest::newRow("no such port")
            << int(ERROR_FILE_NOT_FOUND) << PortProblem::Missing << "找不到端口" << plugIn;
        QTest::newRow("no such path")
            << int(ERROR_PATH_NOT_FOUND) << PortProblem::Missing << "找不到端口" << plugIn;
        QTest::newRow("held: access denied")
            << int(ERROR_ACCESS_DENIED) << PortProblem::Busy << Holder << closeHolder;
        QTest::newRow("held: sharing violation")
            << int(ERROR_SHARING_VIOLATION) << PortProblem::Busy << Holder << closeHolder;
        QTest::newRow("anything else: the system's words")
            << int(ERROR_GEN_FAILURE) << PortProblem::Other
            << systemErrorText(int(ERROR_GEN_FAILURE)) << "请检查端口名和设备";
#else
        QTest::newRow("no such file") << ENOENT << PortProblem::Missing << "找不到端口" << plugIn;
        QTest::newRow("adapter pulled out")
            << ENODEV << PortProblem::Missing << "找不到端口" << plugIn;
        QTest::newRow("no device behind the node")
            << ENXIO << PortProblem::Missing << "找不到端口" << plugIn;
        QTest::newRow("no UART behind the node")
            << EIO << PortProblem::Missing << "找不到端口" << plugIn;
        QTest::newRow("permission denied")
            << EACCES << PortProblem::Denied << "没有打开端口"
            << "不在 dialout 组中：运行 sudo usermod -aG dialout $USER，然后注销并重新登录";
        QTest::newRow("operation not permitted") << EPERM << PortProblem::Denied << "没有打开端口"
                                                 << "sudo usermod -aG dialout $USER";
        QTest::newRow("locked by another open")
            << EWOULDBLOCK << PortProblem::Busy << QStringLiteral("正被另一个程序占用：") + Holder
            << closeHolder;
        QTest::newRow("exclusive to another open")
            << EBUSY << PortProblem::Busy << Holder << closeHolder;
        QTest::newRow("anything else: the system's words")
            << EISDIR << PortProblem::Other << systemErrorText(EISDIR) << "请检查端口名和设备";
#endif
    }
    void byErrorNumber() {
        QFETCH(int, error);
        QFETCH(PortProblem, problem);
        QFETCH(QString, inReason);
        QFETCH(QString, inHint);
        QCOMPARE(openProblemOf(error), problem);
        const PortFailure failure =
            describePortProblem(problem, QStringLiteral("COM3"), Holder, systemErrorText(error));
        QVERIFY2(failure.reason.contains(QStringLiteral("COM3")), qPrintable(failure.reason));
        QVERIFY2(failure.reason.contains(inReason), qPrintable(failure.reason));
        QVERIFY2(failure.hint.contains(inHint), qPrintable(failure.hint));
    }

    // A busy port whose holder cannot be known still says it is held; no error number,
    // no empty brackets.
    void withoutHolderOrSystemText() {
        QCOMPARE(describePortProblem(PortProblem::Busy, QStringLiteral("COM3"), {}, {}).reason,
                 QStringLiteral("端口 COM3 正被另一个程序占用"));
        QCOMPARE(describePortProblem(PortProblem::Lost, QStringLiteral("COM3"), {}, {}).reason,
                 QStringLiteral("端口 COM3 在使用中断开了"));
        QVERIFY(systemErrorText(0).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestPortOpenFailure)
#include "test_port_open_failure.moc"
