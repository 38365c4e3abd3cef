// SPDX-License-Identifier: MIT
#pragma once
// Port names that reach a device through a network serial server, spelled as pyserial
// and esptool spell them: "rfc2217://HOST:PORT" (telnet with the COM port option; this
// program sets the line) and "socket://HOST:PORT" (raw TCP; the server's line settings
// apply). HOST is a name, an IPv4 address or an IPv6 address in brackets.

#include <QString>

#include <cstdint>
#include <optional>

namespace korvane {

struct NetworkPortName {
    enum class Scheme { Rfc2217, Socket };
    Scheme scheme = Scheme::Rfc2217;
    QString host; // without the brackets of an IPv6 address
    std::uint16_t port = 0;
};

// Whether the name is meant as a network port: it has a "scheme://" in front. Such a
// name is never a device path, even when it is malformed.
bool isNetworkPortName(const QString& name);

// The parts of a network port name; nothing, with why in *problem (the operator's
// words), when it is malformed: no host, no or a bad TCP port, an unknown scheme.
std::optional<NetworkPortName> parseNetworkPortName(const QString& name,
                                                    QString* problem = nullptr);

// Why a port name the operator gave cannot be used; empty when it can. Local names are
// always accepted here (opening them tells what is wrong).
QString portNameProblem(const QString& name);

} // namespace korvane
