// SPDX-License-Identifier: MIT
#pragma once
// What the command transport needs of a link to the device: open, close, send a frame,
// hand over each received block, tell when the link went away. The serial port and the
// network port implement it; the transport picks one by the port's name.
//
// Threading contract, the same for every link: create it, call every member and
// receive every handler on one thread, the owner's. A received block is one burst of
// bytes ended by a gap longer than the read interval (100 ms), however the bytes
// arrived. A caller that waits for data keeps the owner's event loop running.

#include <cstdint>
#include <functional>

namespace korvane {

// The handlers a link calls on its owner's thread. The data is valid only during the
// call.
using ReceiveDataHandler = std::function<void(const std::uint8_t* data, std::uint16_t length)>;
using NotifyHandler = std::function<void()>;

class PortLink {
public:
    virtual ~PortLink() = default;

    // Raises KorvaneError (Port) "Error opening serial port" with the reason and what
    // to try; a failed open leaves the link closed with nothing held.
    virtual void openPort() = 0;
    // Closes the link; nothing when closed. Never fails.
    virtual void closePort() = 0;
    // Queues a copy of count bytes, sent as one piece, and returns at once. False when
    // the link is closed or gone, or count is 0.
    virtual bool writeData(const std::uint8_t* buffer, std::uint16_t count) = 0;
    virtual bool isOpen() const noexcept = 0;
    // Whether the link went away while open (told by hangupRequested, which runs after
    // this is set), and the system's error number of that, 0 when there was none. Kept
    // through closePort, cleared by the next openPort.
    virtual bool isLost() const noexcept = 0;
    virtual int lostSystemError() const noexcept = 0;

    ReceiveDataHandler dataReceived;
    NotifyHandler hangupRequested;

protected:
    PortLink() = default;
    PortLink(const PortLink&) = delete;
    PortLink& operator=(const PortLink&) = delete;
};

} // namespace korvane
