// SPDX-License-Identifier: MIT
#pragma once
// The command transport: sends one frame and hands back the one block the device
// answers with, or nothing after the time limit. The frame goes over the serial port or,
// for a network port name (NetworkPortName.h), the network port; the serial port's
// properties are the settings of both. One block is one response; there is
// no reassembly. Everything runs on the user-interface thread: the wait runs a nested
// event loop, and that loop is what delivers the port's data notification to
// receiveData. Callers run one transaction at a time; a nested one is not refused.

#include "link/FrameCodec.h"
#include "link/NetworkPort.h"
#include "link/SerialPort.h"

#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class QElapsedTimer;
class QEventLoop;
class QObject;

namespace korvane {

// The busy indication of a transaction's wait, implemented by the main window (an
// override cursor). busy() and restore() always come in pairs.
class BusyCursor {
public:
    virtual ~BusyCursor() = default;
    virtual void busy() = 0;
    virtual void restore() = 0;
};

// The message of a transaction on a port that went away while in use.
inline const QString PortLostText = QStringLiteral("通讯端口已断开。");

class CommandTransport {
public:
    // A transaction waits at least this long from the send before giving up.
    static constexpr int ResponseTimeLimitMs = 5010;

    // The read interval that ends a received block: the gap after the device's last byte.
    static constexpr std::uint32_t BlockGapMs = 100;

    // Creates the port (closed) with XON/XOFF off both ways and a read interval of
    // blockGapMs(). Its hangupRequested handler is the transport's.
    CommandTransport();
    ~CommandTransport(); // destroys the port, which closes it
    CommandTransport(const CommandTransport&) = delete;
    CommandTransport& operator=(const CommandTransport&) = delete;

    // The block gap of transports created from now on, for every thread; BlockGapMs
    // unless changed. Tests whose cases are not about the gap shorten it, so that each
    // transaction does not cost a tenth of a second.
    static std::uint32_t blockGapMs() noexcept;
    static void setBlockGapMsForTests(std::uint32_t ms) noexcept;

    // The port's settings and, for a local name, the serial port itself.
    SerialPort& comm() noexcept { return *m_comm; }
    const SerialPort& comm() const noexcept { return *m_comm; }

    // Opens the link the port's name asks for: the network port for "rfc2217://" and
    // "socket://" names (connecting within the time limit), the serial port otherwise.
    // Raises what the link's openPort raises.
    void openPort();
    // Closes whichever link is open. Never fails.
    void closePort();
    bool isOpen() const noexcept;
    // The link in use: the network port while it is open, the serial port otherwise.
    PortLink& link() noexcept;
    const PortLink& link() const noexcept;

    // Sends length bytes of frame, then waits for the next received block. Returns the
    // response (a NUL follows it; valid until the next block arrives or the transport
    // is destroyed) or nullptr after the time limit. length becomes the transport's
    // response length in both cases: after a time-out that of an earlier response.
    // A length outside 0..65535 sends nothing. The frame is not modified.
    // A port that goes away (a hang-up: an adapter unplugged, the other end closed) ends
    // the wait at once, and this and every later transaction until the port is opened
    // again raise KorvaneError (Port) PortLostText with the reason and what to try;
    // the port is closed then, so that the device can be opened again.
    const std::uint8_t* transact(const std::uint8_t* frame, int& length);
    // The same, returning a copy of the response.
    std::optional<ByteBuffer> transact(std::span<const std::uint8_t> frame);

    // The sending half: clears the response event and hands the frame to the port.
    // True when the port accepted it for transmission.
    bool sendFrame(const std::uint8_t* frame, std::uint16_t length);

    // The port label text, e.g. "COM1 9600-8-N-1" ("COM1 9600-8-1" for mark parity).
    QString portDescription() const;

    // With debug on, every frame sent and block received is posted to the monitor as
    // two MonitorMessage events. No monitor (or a destroyed one): nothing is posted.
    bool debug() const noexcept { return m_debug; }
    void setDebug(bool on) noexcept { m_debug = on; }
    void setMonitor(QObject* monitor) { m_monitor = monitor; }
    void setBusyCursor(BusyCursor* cursor) noexcept { m_busyCursor = cursor; }

    // The time limit of later transactions; ResponseTimeLimitMs unless changed (tests
    // shorten it so that a silent device does not cost seconds).
    int timeLimitMs() const noexcept { return m_timeLimitMs; }
    void setTimeLimitMs(int ms) noexcept { m_timeLimitMs = ms; }

    // Asked before every frame: while it answers false nothing is sent and a transaction
    // ends at once without an answer (korvanectl stops so after an interrupt). None: every
    // frame is sent.
    void setSendGate(std::function<bool()> gate) { m_sendGate = std::move(gate); }

    // Ends the wait of the transaction under way at once, without an answer (a search
    // for devices that is cancelled). Call it on the transport's thread, e.g. posted
    // there; outside a transaction it changes nothing.
    void abandonWait();

    // The last received block (nullptr before the first) and its length.
    const std::uint8_t* response() const noexcept;
    int responseLength() const noexcept { return m_responseLength; }

    // The port's dataReceived handler: stores a copy and signals the response.
    void receiveData(const std::uint8_t* buffer, std::uint16_t count);

private:
    void waitForResponse(const QElapsedTimer& sinceSend);
    // Closes a port that went away and raises the error that says so; nothing otherwise.
    void throwIfLost();
    void postMonitor(const char* label, const std::uint8_t* bytes, std::size_t count);

    std::unique_ptr<SerialPort> m_comm;
    std::unique_ptr<NetworkPort> m_network;
    std::vector<std::uint8_t> m_response; // bytes plus a NUL; empty until the first block
    int m_responseLength = 0;
    bool m_responseEvent = false;
    bool m_debug = false;
    QPointer<QObject> m_monitor;
    BusyCursor* m_busyCursor = nullptr;
    int m_timeLimitMs = ResponseTimeLimitMs;
    QEventLoop* m_waitLoop = nullptr;
    bool m_waitAbandoned = false;
    std::function<bool()> m_sendGate;
};

} // namespace korvane
