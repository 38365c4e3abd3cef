// SPDX-License-Identifier: MIT
#pragma once
// A port on a network serial server (ser2net, a Moxa, Digi or Lantronix device
// server), named "rfc2217://HOST:PORT" or "socket://HOST:PORT" (NetworkPortName.h).
// TCP through Qt Network, Nagle off and keep-alive on, each frame in one write. With
// rfc2217:// every open negotiates the COM port option and sets the line from the
// settings, waiting for the server to confirm each value; with socket:// the server's
// own line settings apply and nothing but data is sent.
//
// It keeps PortLink's threading contract: the socket lives on the owner's thread and
// its bytes are delivered there; a block is a burst ended by a gap longer than the
// read interval, however TCP cut it. Opening waits in a nested event loop, at most the
// connect time limit. A handler may close or reopen the port, but not destroy it.

#include "link/NetworkPortName.h"
#include "link/PortLink.h"
#include "link/PortOpenFailure.h"
#include "link/Rfc2217Codec.h"

#include <QString>

#include <functional>
#include <memory>

class QTcpSocket;
class QTimer;
class QEventLoop;

namespace korvane {

class SerialPort;

class NetworkPort : public PortLink {
public:
    // settings: the port whose name, line settings and read interval this one uses; it
    // must outlive this port.
    explicit NetworkPort(const SerialPort& settings);
    ~NetworkPort() override; // closes the connection first

    void openPort() override;
    void closePort() override;
    bool writeData(const std::uint8_t* buffer, std::uint16_t count) override;
    bool isOpen() const noexcept override { return m_open; }
    bool isLost() const noexcept override { return m_lost; }
    int lostSystemError() const noexcept override { return 0; }

    // How long connecting, and with rfc2217:// the negotiation, may take in all.
    int connectTimeLimitMs() const noexcept { return m_connectLimitMs; }
    void setConnectTimeLimitMs(int ms) noexcept { m_connectLimitMs = ms; }

    // The longest wait for the server's answer to one setting.
    static constexpr int SettingAnswerLimitMs = 3000;

    // The reason and hint for a connection lost while in use.
    static PortFailure lostFailure(const QString& portName);

private:
    [[noreturn]] void failOpen(const PortFailure& failure);
    void connectSocket(const NetworkPortName& name, int timeLeftMs);
    void negotiate(int timeLeftMs);
    void waitForServerText(int timeLeftMs);
    bool waitUntil(const std::function<bool()>& done, int timeLeftMs);
    void takeBytes();
    void deliverBlock();
    void connectionEnded();
    void dropSocket();
    bool serverSaysBusy() const;

    const SerialPort& m_settings;
    std::unique_ptr<QTcpSocket> m_socket;
    std::unique_ptr<QTimer> m_gapTimer;
    QEventLoop* m_wait = nullptr;
    NetworkPortName m_name;
    rfc2217::TelnetClient m_telnet;
    std::vector<rfc2217::Answer> m_answers;
    ByteBuffer m_block;    // the burst so far
    ByteBuffer m_early;    // what arrived before the port was open: server text
    ByteBuffer m_heldBack; // written while the server had suspended us
    int m_connectLimitMs = 5010;
    bool m_open = false;
    bool m_opening = false;
    bool m_lost = false;
    int m_inSocketSignal = 0;  // a handler of the socket's own signal is running
    bool m_delivering = false; // a block is being handed over
};

} // namespace korvane
