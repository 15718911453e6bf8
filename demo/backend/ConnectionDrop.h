#pragma once

#include <string>

namespace demo {

// Shuts down the TCP connection a request came in on, so the client gets no answer at all: finds the
// socket among the process's descriptors by the request's two endpoints. cpp-httplib does not hand
// the socket to handlers; its own later write then fails and it closes the descriptor itself.
bool dropConnection(const std::string& remoteAddr, int remotePort, int localPort);

} // namespace demo
