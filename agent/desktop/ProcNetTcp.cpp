#include "agent/desktop/ProcNetTcp.h"

#include <charconv>

namespace verolux {
namespace {

// Splits off the next blank-separated field.
std::string_view NextField(std::string_view& rest) {
    std::size_t start = rest.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        rest = {};
        return {};
    }
    std::size_t end = rest.find_first_of(" \t", start);
    std::string_view field = rest.substr(start, end == std::string_view::npos ? rest.npos : end - start);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end);
    return field;
}

template <typename T> bool ParseNumber(std::string_view text, int base, T& value) {
    if (text.empty()) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc() && end == text.data() + text.size();
}

// One address word as printed: 8 hex digits of a 32-bit value whose memory bytes are the address's.
bool ParseWord(std::string_view hex, std::endian order, std::uint8_t* bytes) {
    std::uint32_t v = 0;
    if (hex.size() != 8 || !ParseNumber(hex, 16, v)) return false;
    for (int i = 0; i < 4; ++i) {
        int shift = order == std::endian::little ? 8 * i : 8 * (3 - i);
        bytes[i] = std::uint8_t(v >> shift);
    }
    return true;
}

// "0100007F:1F90" or "0000000000000000FFFF00000100007F:1F90".
std::optional<TcpEndpoint> ParseEndpoint(std::string_view text, std::endian order) {
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::string_view hex = text.substr(0, colon);
    std::uint16_t port = 0;
    if (text.size() - colon - 1 != 4 || !ParseNumber(text.substr(colon + 1), 16, port)) return std::nullopt;
    if (hex.size() == 8) {
        std::array<std::uint8_t, 4> v4{};
        if (!ParseWord(hex, order, v4.data())) return std::nullopt;
        return Ipv4Endpoint(v4, port);
    }
    if (hex.size() != 32) return std::nullopt;
    std::array<std::uint8_t, 16> v6{};
    for (std::size_t w = 0; w < 4; ++w)
        if (!ParseWord(hex.substr(8 * w, 8), order, v6.data() + 4 * w)) return std::nullopt;
    return Ipv6Endpoint(v6, port);
}

} // namespace

TcpEndpoint Ipv4Endpoint(std::array<std::uint8_t, 4> address, std::uint16_t port) {
    TcpEndpoint e;
    e.address[10] = 0xff;
    e.address[11] = 0xff;
    for (std::size_t i = 0; i < 4; ++i)
        e.address[12 + i] = address[i];
    e.port = port;
    return e;
}

TcpEndpoint Ipv6Endpoint(const std::array<std::uint8_t, 16>& address, std::uint16_t port) {
    return TcpEndpoint{address, port};
}

std::optional<ProcNetTcpEntry> ParseProcNetTcpLine(std::string_view line, std::endian order) {
    // "  sl  local_address rem_address   st tx_queue:rx_queue tr:tm->when retrnsmt   uid  timeout inode ..."
    std::string_view rest = line;
    std::string_view slot = NextField(rest);
    if (slot.size() < 2 || slot.back() != ':') return std::nullopt;
    auto local = ParseEndpoint(NextField(rest), order);
    auto remote = ParseEndpoint(NextField(rest), order);
    if (!local || !remote) return std::nullopt;
    ProcNetTcpEntry e;
    e.local = *local;
    e.remote = *remote;
    if (!ParseNumber(NextField(rest), 16, e.state)) return std::nullopt;
    NextField(rest); // tx_queue:rx_queue
    NextField(rest); // tr:tm->when
    NextField(rest); // retrnsmt
    if (!ParseNumber(NextField(rest), 10, e.uid)) return std::nullopt;
    NextField(rest); // timeout
    if (!ParseNumber(NextField(rest), 10, e.inode)) return std::nullopt;
    return e;
}

std::optional<std::uint32_t> FindSocketOwner(std::string_view table, const TcpEndpoint& local,
                                             const TcpEndpoint& remote, std::endian order) {
    while (!table.empty()) {
        std::size_t eol = table.find('\n');
        std::string_view line = table.substr(0, eol);
        table = eol == std::string_view::npos ? std::string_view() : table.substr(eol + 1);
        auto e = ParseProcNetTcpLine(line, order);
        // A socket no process holds any more says uid 0: it has no owner to judge.
        if (e && e->inode != 0 && e->local == local && e->remote == remote) return e->uid;
    }
    return std::nullopt;
}

} // namespace verolux
