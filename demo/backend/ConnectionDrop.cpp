#include "demo/backend/ConnectionDrop.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>

namespace demo {

namespace {

int portOf(const sockaddr_storage& addr) {
    if (addr.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(addr).sin_port);
    if (addr.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(addr).sin6_port);
    return -1;
}

// Same text form cpp-httplib gives Request::remote_addr.
std::string hostOf(const sockaddr_storage& addr, socklen_t length) {
    char host[NI_MAXHOST];
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&addr), length, host, sizeof host, nullptr, 0,
                    NI_NUMERICHOST) != 0)
        return {};
    return host;
}

} // namespace

bool dropConnection(const std::string& remoteAddr, int remotePort, int localPort) {
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return false;
    bool dropped = false;
    while (dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == dirfd(dir)) continue;
        sockaddr_storage local{}, peer{};
        socklen_t localLength = sizeof local, peerLength = sizeof peer;
        if (getsockname(int(fd), reinterpret_cast<sockaddr*>(&local), &localLength) != 0) continue;
        if (portOf(local) != localPort) continue;
        if (getpeername(int(fd), reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) continue;
        if (portOf(peer) != remotePort || hostOf(peer, peerLength) != remoteAddr) continue;
        shutdown(int(fd), SHUT_RDWR);
        dropped = true;
        break;
    }
    closedir(dir);
    return dropped;
}

} // namespace demo
