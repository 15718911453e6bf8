#pragma once

#include <cstdint>
#include <optional>

class QTcpSocket;

namespace verolux {

// The user whose process holds the other end of a connection made on this machine. None where it
// cannot be found: a peer on another machine, a socket already let go, a platform without the means.
std::optional<std::uint32_t> PeerOwner(const QTcpSocket& connection);

// The user this agent runs as.
std::uint32_t AgentUser();

} // namespace verolux
