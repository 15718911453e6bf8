// The owner of a connection's other end, read from socket tables stored from a Linux machine
// (x86-64, so every address word is printed little-endian).
#include "agent/desktop/ProcNetTcp.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using verolux::FindSocketOwner;
using verolux::Ipv4Endpoint;
using verolux::Ipv6Endpoint;
using verolux::ParseProcNetTcpLine;
using verolux::TcpEndpoint;

constexpr auto kLittle = std::endian::little;

TcpEndpoint V4(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d, std::uint16_t port) {
    return Ipv4Endpoint({a, b, c, d}, port);
}
TcpEndpoint Loopback6(std::uint16_t port) {
    std::array<std::uint8_t, 16> a{};
    a[15] = 1;
    return Ipv6Endpoint(a, port);
}

// An agent on 127.0.0.1:28502 (0x6F56) and ::1:28502 run by uid 1000; clients of uid 1000 and 1001.
const std::string kTcp =
    "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode\n"
    "   0: 0100007F:6F56 00000000:0000 0A 00000000:00000000 00:00000000 00000000  1000        0 367786 1 "
    "000000005b4377c1 100 0 0 10 0\n"
    "   1: 0100007F:6F56 0100007F:8822 01 00000000:00000000 00:00000000 00000000  1000        0 367790 1 "
    "00000000b8c0020e 20 0 0 10 -1\n"
    "   2: 0100007F:8822 0100007F:6F56 01 00000000:00000000 00:00000000 00000000  1001        0 367787 2 "
    "00000000e92584cf 20 0 0 10 -1\n"
    "   3: 0100007F:9000 0100007F:6F56 06 00000000:00000000 03:00001770 00000000     0        0 0 3 "
    "00000000c572593c\n"
    "   4: 0100007F:9100 0100007F:6F56 01 00000000:00000000 00:00000000 00000000  1000        0 367799 2 "
    "00000000e92584cf 20 0 0 10 -1\n"
    "   5: 0B02A8C0:D431 0A02A8C0:6F56 01 00000000:00000000 00:00000000 00000000  1002        0 367800 2 "
    "00000000e92584cf 20 0 0 10 -1\n";

const std::string kTcp6 =
    "  sl  local_address                         remote_address                        st tx_queue rx_queue "
    "tr "
    "tm->when retrnsmt   uid  timeout inode\n"
    "   0: 00000000000000000000000001000000:6F56 00000000000000000000000000000000:0000 0A 00000000:00000002 "
    "00:00000000 00000000  1000        0 367783 3 00000000b442cea9 100 0 0 10 0\n"
    "   4: 00000000000000000000000001000000:D9B0 00000000000000000000000001000000:6F56 01 00000000:00000000 "
    "00:00000000 00000000  1001        0 367785 2 0000000080686567 20 0 0 10 -1\n"
    "   5: 0000000000000000FFFF00000100007F:6F56 0000000000000000FFFF00000100007F:DAD6 01 00000000:00000000 "
    "00:00000000 00000000     0        0 0 1 00000000c572593c 20 0 0 10 -1\n"
    "   8: 0000000000000000FFFF00000100007F:DAD6 0000000000000000FFFF00000100007F:6F56 01 00000000:00000000 "
    "00:00000000 00000000  1003        0 367784 2 0000000063517791 20 0 0 10 -1\n";

struct OwnerRow {
    const char* name;
    const std::string* table;
    TcpEndpoint peer;  // the client's end: the local end of its socket
    TcpEndpoint agent; // the agent's end: the remote end of the client's socket
    std::optional<std::uint32_t> owner;
};

TEST(ProcNetTcp, OwnerOfThePeerSocket) {
    const OwnerRow rows[] = {
        // The client's line, not the agent's accepted socket (same pair, the other way round).
        {"ipv4 client of another user", &kTcp, V4(127, 0, 0, 1, 0x8822), V4(127, 0, 0, 1, 28502), 1001},
        {"ipv4 client of the same user", &kTcp, V4(127, 0, 0, 1, 0x9100), V4(127, 0, 0, 1, 28502), 1000},
        // Time-wait: no process holds it, uid 0 means nothing.
        {"socket no process holds", &kTcp, V4(127, 0, 0, 1, 0x9000), V4(127, 0, 0, 1, 28502), std::nullopt},
        {"no such connection", &kTcp, V4(127, 0, 0, 1, 0x9999), V4(127, 0, 0, 1, 28502), std::nullopt},
        // The address must match too, not only the ports.
        {"same ports, other address", &kTcp, V4(127, 0, 0, 2, 0x8822), V4(127, 0, 0, 1, 28502), std::nullopt},
        // A local program reaching the agent through the machine's network address (ListenAll).
        {"ipv4 network address", &kTcp, V4(192, 168, 2, 11, 0xD431), V4(192, 168, 2, 10, 28502), 1002},
        {"ipv6 loopback client", &kTcp6, Loopback6(0xD9B0), Loopback6(28502), 1001},
        // A dual-stack client socket reaching 127.0.0.1: listed in tcp6, IPv4-mapped.
        {"ipv4-mapped client", &kTcp6, V4(127, 0, 0, 1, 0xDAD6), V4(127, 0, 0, 1, 28502), 1003},
        // An IPv4 endpoint never matches the IPv6 loopback ::1.
        {"ipv4 asked of the ::1 line", &kTcp6, V4(127, 0, 0, 1, 0xD9B0), V4(127, 0, 0, 1, 28502),
         std::nullopt},
        {"the header alone", nullptr, V4(127, 0, 0, 1, 0x8822), V4(127, 0, 0, 1, 28502), std::nullopt},
    };
    const std::string headerOnly = kTcp.substr(0, kTcp.find('\n') + 1);
    for (const OwnerRow& row : rows) {
        const std::string& table = row.table ? *row.table : headerOnly;
        EXPECT_EQ(FindSocketOwner(table, row.peer, row.agent, kLittle), row.owner) << row.name;
    }
}

TEST(ProcNetTcp, LineFields) {
    auto e = ParseProcNetTcpLine(
        "   2: 0100007F:8822 0100007F:6F56 01 00000000:00000000 00:00000000 00000000  1001 "
        "       0 367787 2 00000000e92584cf 20 0 0 10 -1",
        kLittle);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->local, V4(127, 0, 0, 1, 0x8822));
    EXPECT_EQ(e->remote, V4(127, 0, 0, 1, 28502));
    EXPECT_EQ(e->state, 1u);
    EXPECT_EQ(e->uid, 1001u);
    EXPECT_EQ(e->inode, 367787u);
    // The same bytes printed by a big-endian machine: each word in network order.
    auto big =
        ParseProcNetTcpLine("   0: 7F000001:6F56 7F000001:8822 01 0:0 0:0 0 1000 0 5 1", std::endian::big);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->local, V4(127, 0, 0, 1, 28502));
    EXPECT_EQ(big->uid, 1000u);
}

TEST(ProcNetTcp, NoSocketLines) {
    const char* lines[] = {
        "",
        "  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid  timeout inode",
        "   0: 0100007F:6F56",                                                     // cut short
        "   0: 0100007F:6F5 00000000:0000 0A 0:0 0:0 0 1000 0 1",                  // 3-digit port
        "   0: 100007F:6F56 00000000:0000 0A 0:0 0:0 0 1000 0 1",                  // 7-digit word
        "   0: 0100007G:6F56 00000000:0000 0A 0:0 0:0 0 1000 0 1",                 // not hex
        "   0: 0100007F:6F56 00000000:0000 0A 0:0 0:0 0 -1 0 1",                   // negative uid
        "   0: 0000000000000000FFFF0000:6F56 00000000:0000 0A 0:0 0:0 0 1000 0 1", // 24 digits
        "   0 0100007F:6F56 00000000:0000 0A 0:0 0:0 0 1000 0 1",                  // no slot colon
    };
    for (const char* line : lines)
        EXPECT_FALSE(ParseProcNetTcpLine(line, kLittle)) << line;
}

} // namespace
