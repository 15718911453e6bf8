#include "agent/desktop/PeerOwner.h"

#include <QHostAddress>
#include <QTcpSocket>

#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#include <ws2tcpip.h>
// The IP helper after winsock.
#include <iphlpapi.h>
#include <windows.h>

#include <cstring>
#include <vector>

// The owner here is a session, not a user: on a terminal server each person's desktop is a session of
// its own, and a process's session tells whose desktop started it.
namespace verolux {
namespace {

// The whole table of one address family, with each connection's owning process.
std::vector<unsigned char> TcpTable(ULONG family) {
    std::vector<unsigned char> table;
    DWORD size = 0;
    for (int attempt = 0; attempt < 5; ++attempt) {
        table.resize(size);
        const DWORD rc = ::GetExtendedTcpTable(table.empty() ? nullptr : table.data(), &size, FALSE, family,
                                               TCP_TABLE_OWNER_PID_CONNECTIONS, 0);
        if (rc == NO_ERROR) return table;
        if (rc != ERROR_INSUFFICIENT_BUFFER) break;
        size += 4096; // connections come and go between the two calls
    }
    return {};
}

std::optional<DWORD> OwningProcessV4(const QHostAddress& localAddress, quint16 localPort,
                                     const QHostAddress& remoteAddress, quint16 remotePort) {
    bool ok = false;
    const quint32 local = localAddress.toIPv4Address(&ok);
    if (!ok) return std::nullopt;
    const quint32 remote = remoteAddress.toIPv4Address(&ok);
    if (!ok) return std::nullopt;
    const std::vector<unsigned char> bytes = TcpTable(AF_INET);
    if (bytes.empty()) return std::nullopt;
    const auto* table = reinterpret_cast<const MIB_TCPTABLE_OWNER_PID*>(bytes.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_TCPROW_OWNER_PID& row = table->table[i];
        // Addresses in network order, ports in network order in the low 16 bits.
        if (ntohl(row.dwLocalAddr) == local && ntohs(static_cast<u_short>(row.dwLocalPort)) == localPort &&
            ntohl(row.dwRemoteAddr) == remote && ntohs(static_cast<u_short>(row.dwRemotePort)) == remotePort)
            return row.dwOwningPid;
    }
    return std::nullopt;
}

std::optional<DWORD> OwningProcessV6(const QHostAddress& localAddress, quint16 localPort,
                                     const QHostAddress& remoteAddress, quint16 remotePort) {
    const Q_IPV6ADDR local = localAddress.toIPv6Address();
    const Q_IPV6ADDR remote = remoteAddress.toIPv6Address();
    const std::vector<unsigned char> bytes = TcpTable(AF_INET6);
    if (bytes.empty()) return std::nullopt;
    const auto* table = reinterpret_cast<const MIB_TCP6TABLE_OWNER_PID*>(bytes.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
        const MIB_TCP6ROW_OWNER_PID& row = table->table[i];
        if (std::memcmp(row.ucLocalAddr, local.c, 16) == 0 &&
            ntohs(static_cast<u_short>(row.dwLocalPort)) == localPort &&
            std::memcmp(row.ucRemoteAddr, remote.c, 16) == 0 &&
            ntohs(static_cast<u_short>(row.dwRemotePort)) == remotePort)
            return row.dwOwningPid;
    }
    return std::nullopt;
}

} // namespace

std::optional<std::uint32_t> PeerOwner(const QTcpSocket& connection) {
    // The peer's own socket: its local end is our remote end and the other way round.
    const QHostAddress peer = connection.peerAddress();
    const QHostAddress agent = connection.localAddress();
    bool isV4 = false;
    peer.toIPv4Address(&isV4);
    std::optional<DWORD> process;
    if (isV4) process = OwningProcessV4(peer, connection.peerPort(), agent, connection.localPort());
    if (!process) process = OwningProcessV6(peer, connection.peerPort(), agent, connection.localPort());
    DWORD session = 0;
    if (!process || !::ProcessIdToSessionId(*process, &session)) return std::nullopt;
    return std::uint32_t(session);
}

std::uint32_t AgentUser() {
    DWORD session = 0;
    ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
    return std::uint32_t(session);
}

} // namespace verolux
