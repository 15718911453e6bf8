#pragma once

#include <QtGlobal>

namespace verolux {

// Taking connections off a listening socket directly, where the platform allows it. Qt's listener
// keeps the first accept error of its socket for good: after a "none waiting" it spins while the
// process is out of descriptors, after an "out of descriptors" it pauses for good at the next empty
// queue. Accepting here tells the two apart every time.
struct Accepted {
    enum class Kind {
        Connection,       // descriptor is the new connection's
        NoneWaiting,      // the queue is empty
        OutOfDescriptors, // the process or the system has none left; the connection stays queued
        Failed            // this connection failed (reset while queued, ...); others may follow
    };
    Kind kind = Kind::Failed;
    qintptr descriptor = -1;
};

// Whether AcceptWaiting works here; where it does not, Qt's listener accepts.
bool CanAcceptDirectly();

// The next connection queued on a listening socket (non-blocking).
Accepted AcceptWaiting(qintptr listeningDescriptor);

// Closes a descriptor AcceptWaiting returned that could not be used.
void CloseDescriptor(qintptr descriptor);

} // namespace verolux
