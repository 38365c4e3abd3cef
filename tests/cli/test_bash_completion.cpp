// SPDX-License-Identifier: MIT
// korvanectl's bash completion, run as bash runs it on a TAB: bash-completion's
// functions loaded, COMP_WORDS and COMP_CWORD set, the completion function called, with
// the built korvanectl first on the PATH.

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString BashCompletion = QStringLiteral("/usr/share/bash-completion/bash_completion");

const char* const Driver = R"(
source "$BASH_COMPLETION" || exit 1
source "$KORVANECTL_COMPLETION" || exit 1
COMP_WORDS=(korvanectl "$@")
COMP_CWORD=$#
COMP_LINE="korvanectl $*"
COMP_POINT=${#COMP_LINE}
_korvanectl korvanectl "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}" 2>/dev/null
printf '%s\n' "${COMPREPLY[@]}"
)";

const QStringList GlobalOptions = {
    QStringLiteral("--baud"),    QStringLiteral("--help"),       QStringLiteral("--json"),
    QStringLiteral("--port"),    QStringLiteral("--ports-from"), QStringLiteral("--quiet"),
    QStringLiteral("--remote"),  QStringLiteral("--settings"),   QStringLiteral("--timeout"),
    QStringLiteral("--verbose"), QStringLiteral("--version"),    QStringLiteral("-h"),
    QStringLiteral("-q"),
};

QStringList sorted(QStringList list) {
    list.sort();
    return list;
}

} // namespace

class TestBashCompletion : public QObject {
    Q_OBJECT
    QTemporaryDir m_runtime; // no simulator of another test among the ports
    QTemporaryDir m_files;
    QProcessEnvironment m_env = QProcessEnvironment::systemEnvironment();

    // What a TAB after `korvanectl WORDS...` offers, sorted; the last word is the one
    // being completed.
    QStringList complete(const QStringList& words) {
        QProcess bash;
        bash.setProcessEnvironment(m_env);
        bash.setWorkingDirectory(m_files.path());
        bash.start(QStringLiteral("bash"),
                   QStringList{QStringLiteral("--norc"), QStringLiteral("--noprofile"),
                               QStringLiteral("-c"), QString::fromUtf8(Driver),
                               QStringLiteral("korvanectl")} +
                       words);
        if (!bash.waitForFinished(60000) || bash.exitCode() != 0)
            return {QStringLiteral("bash failed: ") +
                    QString::fromUtf8(bash.readAllStandardError())};
        QStringList offered =
            QString::fromUtf8(bash.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        offered.sort();
        return offered;
    }

private slots:
    void initTestCase() {
        QVERIFY2(QFile::exists(BashCompletion), "bash-completion is not installed");
        QVERIFY(m_runtime.isValid() && m_files.isValid());
        m_env.insert(QStringLiteral("BASH_COMPLETION"), BashCompletion);
        m_env.insert(QStringLiteral("KORVANECTL_COMPLETION"),
                     QStringLiteral(KORVANECTL_COMPLETION));
        m_env.insert(QStringLiteral("PATH"),
                     QFileInfo(QStringLiteral(KORVANECTL_EXECUTABLE)).path() + u':' +
                         m_env.value(QStringLiteral("PATH")));
        m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime.path());
        const QDir files(m_files.path());
        for (const char* name : {"a.krv", "b.txt", "c.chn", "KORVANE.INI"}) {
            QFile file(files.filePath(QString::fromLatin1(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(files.mkdir(QStringLiteral("sub")));
    }

    void offers_data() {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("expected"); // $D: the folder of files

        const QString d = QStringLiteral("$D/");
        QTest::newRow("commands") << QStringList{QString()}
                                  << QStringList{
                                         QStringLiteral("diff"),        QStringLiteral("identify"),
                                         QStringLiteral("ports"),       QStringLiteral("read"),
                                         QStringLiteral("scan"),        QStringLiteral("schedule"),
                                         QStringLiteral("set-address"), QStringLiteral("show"),
                                         QStringLiteral("write"),
                                     };
        QTest::newRow("a command's start")
            << QStringList{QStringLiteral("--port"), QStringLiteral("P"), QStringLiteral("se")}
            << QStringList{QStringLiteral("set-address")};
        QTest::newRow("options") << QStringList{QStringLiteral("--")}
                                 << GlobalOptions.filter(QRegularExpression(QStringLiteral("^--")));
        QTest::newRow("an option's start")
            << QStringList{QStringLiteral("--po")}
            << QStringList{QStringLiteral("--port"), QStringLiteral("--ports-from")};
        QTest::newRow("write's options")
            << QStringList{QStringLiteral("write"), QStringLiteral("--")}
            << sorted(GlobalOptions.filter(QRegularExpression(QStringLiteral("^--"))) +
                      QStringList{QStringLiteral("--address-from-device"),
                                  QStringLiteral("--channels"), QStringLiteral("--dry-run"),
                                  QStringLiteral("--no-schedule")});
        QTest::newRow("read's options after a port")
            << QStringList{QStringLiteral("--port"), QStringLiteral("P"), QStringLiteral("read"),
                           QStringLiteral("-")}
            << sorted(GlobalOptions + QStringList{QStringLiteral("-o")});
        QTest::newRow("set-address's options")
            << QStringList{QStringLiteral("set-address"), QStringLiteral("--s")}
            << QStringList{QStringLiteral("--serial"), QStringLiteral("--settings")};
        QTest::newRow("a number") << QStringList{QStringLiteral("--baud"), QString()}
                                  << QStringList{};
        QTest::newRow("a command without a file")
            << QStringList{QStringLiteral("identify"), d} << QStringList{};
        QTest::newRow("show's file")
            << QStringList{QStringLiteral("show"), d}
            << QStringList{d + QStringLiteral("a.krv"), d + QStringLiteral("sub")};
        QTest::newRow("write's file after its option")
            << QStringList{QStringLiteral("write"), QStringLiteral("--dry-run"), d}
            << QStringList{d + QStringLiteral("a.krv"), d + QStringLiteral("sub")};
        QTest::newRow("read's output")
            << QStringList{QStringLiteral("read"), QStringLiteral("-o"), d}
            << QStringList{d + QStringLiteral("a.krv"), d + QStringLiteral("sub")};
        QTest::newRow("a channel file")
            << QStringList{QStringLiteral("schedule"), QStringLiteral("--channels"), d}
            << QStringList{d + QStringLiteral("c.chn"), d + QStringLiteral("sub")};
        QTest::newRow("a settings file")
            << QStringList{QStringLiteral("--settings"), d}
            << QStringList{d + QStringLiteral("KORVANE.INI"), d + QStringLiteral("sub")};
        QTest::newRow("a rack list")
            << QStringList{QStringLiteral("--ports-from"), d}
            << QStringList{d + QStringLiteral("KORVANE.INI"), d + QStringLiteral("a.krv"),
                           d + QStringLiteral("b.txt"), d + QStringLiteral("c.chn"),
                           d + QStringLiteral("sub")};
    }

    void offers() {
        QFETCH(QStringList, words);
        QFETCH(QStringList, expected);
        const QString folder = m_files.path();
        for (QString& word : words)
            word.replace(QStringLiteral("$D"), folder);
        for (QString& word : expected)
            word.replace(QStringLiteral("$D"), folder);
        QCOMPARE(complete(words), expected);
    }

    // After --port: the ports korvanectl lists, a running simulator's link among them.
    void offersPorts() {
        QProcess sim;
        sim.setProcessEnvironment(m_env);
        const QString link = QDir(m_files.path()).filePath(QStringLiteral("link"));
        sim.start(QStringLiteral(KORVANE_SIM_EXECUTABLE), {QStringLiteral("--link"), link});
        QVERIFY(sim.waitForStarted());
        const auto stop = qScopeGuard([&sim] {
            sim.terminate();
            sim.waitForFinished(30000);
        });
        // Announced once its link is up. Each try runs bash and korvanectl: bounded by
        // the clock, not by a count of tries as QTRY_* would.
        const QDeadlineTimer deadline(60000);
        QStringList offered = complete({QStringLiteral("--port"), QString()});
        while (!offered.contains(link) && !deadline.hasExpired()) {
            QTest::qWait(100);
            offered = complete({QStringLiteral("--port"), QString()});
        }
        QVERIFY2(offered.contains(link), qPrintable(offered.join(u' ')));
        QCOMPARE(complete({QStringLiteral("--port"), m_files.path() + QStringLiteral("/l")}),
                 QStringList{link});
    }
};

QTEST_GUILESS_MAIN(TestBashCompletion)
#include "test_bash_completion.moc"
