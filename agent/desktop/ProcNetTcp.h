#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <optional>
#include <string_view>

namespace verolux {

// One end of a TCP connection. IPv4 addresses are held IPv4-mapped (::ffff:a.b.c.d), so an IPv4
// connection matches whichever of /proc/net/tcp and /proc/net/tcp6 lists it.
struct TcpEndpoint {
    std::array<std::uint8_t, 16> address{}; // network byte order
    std::uint16_t port = 0;

    bool operator==(const TcpEndpoint&) const = default;
};

TcpEndpoint Ipv4Endpoint(std::array<std::uint8_t, 4> address, std::uint16_t port);
TcpEndpoint Ipv6Endpoint(const std::array<std::uint8_t, 16>& address, std::uint16_t port);

// One socket line of /proc/net/tcp or /proc/net/tcp6.
struct ProcNetTcpEntry {
    TcpEndpoint local;
    TcpEndpoint remote;
    unsigned state = 0; // 1 established, 6 time-wait, 10 listen, ...
    std::uint32_t uid = 0;
    std::uint64_t inode = 0; // 0: no process holds the socket (time-wait, orphaned)
};

// Reads one line; none for the header line and anything else that is no socket line. The kernel
// prints each 32-bit word of an address in the machine's own byte order.
std::optional<ProcNetTcpEntry> ParseProcNetTcpLine(std::string_view line,
                                                   std::endian order = std::endian::native);

// The owner of the socket whose local end is local and whose remote end is remote, from the whole
// text of /proc/net/tcp or /proc/net/tcp6. None when no process holds such a socket.
std::optional<std::uint32_t> FindSocketOwner(std::string_view table, const TcpEndpoint& local,
                                             const TcpEndpoint& remote,
                                             std::endian order = std::endian::native);

} // namespace verolux
