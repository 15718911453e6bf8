#include "agent/desktop/PeerOwner.h"

#include "agent/desktop/ProcNetTcp.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace verolux {
namespace {

TcpEndpoint Endpoint(const QHostAddress& address, quint16 port) {
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4); // also ::ffff:a.b.c.d of a dual-stack listener
    if (isV4)
        return Ipv4Endpoint(
            {std::uint8_t(v4 >> 24), std::uint8_t(v4 >> 16), std::uint8_t(v4 >> 8), std::uint8_t(v4)}, port);
    const Q_IPV6ADDR v6 = address.toIPv6Address();
    std::array<std::uint8_t, 16> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = v6[int(i)];
    return Ipv6Endpoint(bytes, port);
}

std::string ReadProcFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {}; // no IPv6 on this machine
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

std::optional<std::uint32_t> PeerOwner(const QTcpSocket& connection) {
    // The peer's own socket: its local end is our remote end and the other way round. An IPv4
    // connection is listed in tcp6 when the peer's socket is a dual-stack one.
    const TcpEndpoint peer = Endpoint(connection.peerAddress(), connection.peerPort());
    const TcpEndpoint agent = Endpoint(connection.localAddress(), connection.localPort());
    for (const char* path : {"/proc/net/tcp", "/proc/net/tcp6"})
        if (auto owner = FindSocketOwner(ReadProcFile(path), peer, agent)) return owner;
    return std::nullopt;
}

std::uint32_t AgentUser() {
    return std::uint32_t(::getuid());
}

} // namespace verolux
