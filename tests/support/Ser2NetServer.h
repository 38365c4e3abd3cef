// SPDX-License-Identifier: MIT
#pragma once
// Debian's ser2net in front of simulators' ptys, for the network port tests: run in
// the foreground (-n) on 127.0.0.1 with free ports and a configuration written here,
// never the package's own, and stopped by its process id. Data goes out at once
// (chardelay off, Nagle off) and no banner is sent.
//
//     Ser2NetServer server;
//     QVERIFY2(server.start({sim.slavePath()}, Ser2NetServer::Mode::Rfc2217),
//              qPrintable(server.errorString()));
//     transport.comm().setCommName(server.portName(0)); // "rfc2217://127.0.0.1:N"

#include <QDeadlineTimer>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QStringList>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <memory>
#include <vector>

namespace korvane::test {

class Ser2NetServer {
public:
    enum class Mode {
        Rfc2217,    // telnet with the COM port option: rfc2217://
        Raw,        // plain TCP: socket://
        TelnetOnly, // telnet without the COM port option: no RFC 2217 port
    };

    Ser2NetServer() = default;
    ~Ser2NetServer() { stop(); }
    Ser2NetServer(const Ser2NetServer&) = delete;
    Ser2NetServer& operator=(const Ser2NetServer&) = delete;

    // Serves each device on a port of its own; true once every port listens.
    bool start(const QStringList& devices, Mode mode) {
        stop();
        m_mode = mode;
        m_ports = freePorts(devices.size());
        if (m_ports.size() != std::size_t(devices.size()))
            return fail(QStringLiteral("no free TCP ports"));
        const QString config = m_dir.filePath(QStringLiteral("ser2net.yaml"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return fail(file.errorString());
        QTextStream out(&file);
        out << "%YAML 1.1\n---\n";
        const char* accepter = mode == Mode::Rfc2217      ? "telnet(rfc2217),tcp(nodelay)"
                               : mode == Mode::TelnetOnly ? "telnet,tcp(nodelay)"
                                                          : "tcp(nodelay)";
        for (qsizetype i = 0; i < devices.size(); ++i) {
            out << "connection: &port" << i << "\n"
                << "    accepter: " << accepter << ",127.0.0.1," << m_ports[std::size_t(i)] << "\n"
                << "    connector: serialdev," << devices[i] << ",9600n81,local\n"
                << "    options:\n"
                << "      chardelay: false\n";
        }
        out.flush();
        file.close();
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::MergedChannels);
        m_process->start(QStringLiteral("ser2net"),
                         {QStringLiteral("-n"), QStringLiteral("-u"), QStringLiteral("-c"), config,
                          QStringLiteral("-P"), m_dir.filePath(QStringLiteral("ser2net.pid"))});
        if (!m_process->waitForStarted(10'000))
            return fail(QStringLiteral("ser2net did not start: ") + m_process->errorString());
        // Listening is seen in the kernel's table, without a connection that ser2net
        // would count.
        const QDeadlineTimer deadline(20'000);
        while (!allListening()) {
            if (m_process->state() != QProcess::Running || deadline.hasExpired())
                return fail(QStringLiteral("ser2net does not listen: ") +
                            QString::fromLocal8Bit(m_process->readAll()));
            QThread::msleep(10);
        }
        return true;
    }

    // Ends the server by its process id.
    void stop() {
        if (!m_process)
            return;
        if (m_process->state() != QProcess::NotRunning) {
            m_process->terminate();
            if (!m_process->waitForFinished(10'000)) {
                m_process->kill();
                m_process->waitForFinished(10'000);
            }
        }
        m_process.reset();
    }

    quint16 port(std::size_t i) const { return m_ports.at(i); }
    QString portName(std::size_t i) const {
        return (m_mode == Mode::Raw ? QStringLiteral("socket://127.0.0.1:")
                                    : QStringLiteral("rfc2217://127.0.0.1:")) +
               QString::number(port(i));
    }
    const QString& errorString() const { return m_error; }

    // Free TCP ports of 127.0.0.1, found by binding them all at once.
    static std::vector<quint16> freePorts(qsizetype count) {
        std::vector<std::unique_ptr<QTcpServer>> servers;
        std::vector<quint16> ports;
        for (qsizetype i = 0; i < count; ++i) {
            auto server = std::make_unique<QTcpServer>();
            if (!server->listen(QHostAddress::LocalHost, 0))
                return {};
            ports.push_back(server->serverPort());
            servers.push_back(std::move(server));
        }
        return ports;
    }

private:
    bool fail(const QString& why) {
        m_error = why;
        stop();
        return false;
    }

    bool allListening() const {
        QFile table(QStringLiteral("/proc/net/tcp"));
        if (!table.open(QIODevice::ReadOnly))
            return false;
        const QByteArray text = table.readAll();
        for (const quint16 p : m_ports) {
            // local address 127.0.0.1:port, state 0A (listen)
            const QByteArray entry =
                "0100007F:" + QByteArray::number(p, 16).toUpper().rightJustified(4, '0') +
                " 00000000:0000 0A";
            if (!text.contains(entry))
                return false;
        }
        return true;
    }

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    std::vector<quint16> m_ports;
    Mode m_mode = Mode::Rfc2217;
    QString m_error;
};

} // namespace korvane::test
