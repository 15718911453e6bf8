#include "agent/desktop/PeerOwner.h"

#include "agent/desktop/ProcNetTcp.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <fcntl.h>
#include <string>
#include <string_view>
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

// Reads the table a chunk at a time and stops at the socket: the kernel writes each chunk as it is
// read, and a machine with thousands of sockets has a table of hundreds of kilobytes.
std::optional<std::uint32_t> FindInTable(const char* path, const TcpEndpoint& local,
                                         const TcpEndpoint& remote) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt; // no IPv6 on this machine
    std::optional<std::uint32_t> owner;
    std::string text;
    char chunk[64 * 1024];
    ssize_t n = 0;
    while (!owner && (n = ::read(fd, chunk, sizeof chunk)) > 0) {
        text.append(chunk, std::size_t(n));
        const std::size_t end = text.rfind('\n');
        if (end == std::string::npos) continue;
        owner = FindSocketOwner(std::string_view(text).substr(0, end + 1), local, remote);
        text.erase(0, end + 1);
    }
    ::close(fd);
    return owner;
}

} // namespace

std::optional<std::uint32_t> PeerOwner(const QTcpSocket& connection) {
    // The peer's own socket: its local end is our remote end and the other way round. An IPv4
    // connection is listed in tcp6 when the peer's socket is a dual-stack one.
    const TcpEndpoint peer = Endpoint(connection.peerAddress(), connection.peerPort());
    const TcpEndpoint agent = Endpoint(connection.localAddress(), connection.localPort());
    bool isV4 = false;
    connection.peerAddress().toIPv4Address(&isV4);
    if (isV4)
        if (auto owner = FindInTable("/proc/net/tcp", peer, agent)) return owner;
    return FindInTable("/proc/net/tcp6", peer, agent);
}

std::uint32_t AgentUser() {
    return std::uint32_t(::getuid());
}

} // namespace verolux
