#include "agent/desktop/PeerOwner.h"

namespace verolux {

// No socket table to read here: every peer is judged as before, by its page's site.
std::optional<std::uint32_t> PeerOwner(const QTcpSocket&) {
    return std::nullopt;
}

std::uint32_t AgentUser() {
    return 0;
}

} // namespace verolux
