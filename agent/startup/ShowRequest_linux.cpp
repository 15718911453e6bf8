#include "agent/startup/ShowRequest.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace verolux {

bool SendShowRequest(const std::filesystem::path& programFolder) {
    const std::string path = (programFolder / kShowSocketFile).string();
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path) return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    // A stale file (killed agent) refuses the connection at once; a live agent accepts from its backlog.
    constexpr char kRequest[] = "show\n";
    const bool sent = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                      ::send(fd, kRequest, sizeof kRequest - 1, MSG_NOSIGNAL) == sizeof kRequest - 1;
    ::close(fd);
    return sent;
}

QString ShowServerName(const std::filesystem::path& programFolder) {
    return QString::fromStdString((programFolder / kShowSocketFile).string());
}

} // namespace verolux
