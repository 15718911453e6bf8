#include "agent/desktop/ListenerAccept.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace verolux {

bool CanAcceptDirectly() {
    return true;
}

Accepted AcceptWaiting(qintptr listeningDescriptor) {
    for (;;) {
        const int fd = ::accept4(int(listeningDescriptor), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd >= 0) return {Accepted::Kind::Connection, fd};
        switch (errno) {
        case EINTR:
            continue;
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
            return {Accepted::Kind::NoneWaiting};
        case EMFILE:
        case ENFILE:
        case ENOBUFS:
        case ENOMEM: {
            // The descriptor is taken before the queue is looked at: an empty queue fails so too.
            pollfd queued{int(listeningDescriptor), POLLIN, 0};
            const bool waiting = ::poll(&queued, 1, 0) > 0 && (queued.revents & POLLIN);
            return {waiting ? Accepted::Kind::OutOfDescriptors : Accepted::Kind::NoneWaiting};
        }
        default: // ECONNABORTED, EPROTO, EPERM (a firewall) and the like end this connection only
            return {Accepted::Kind::Failed};
        }
    }
}

void CloseDescriptor(qintptr descriptor) {
    ::close(int(descriptor));
}

} // namespace verolux
