#include "agent/desktop/ListenerAccept.h"

namespace verolux {

bool CanAcceptDirectly() {
    return false;
}

Accepted AcceptWaiting(qintptr) {
    return {Accepted::Kind::NoneWaiting};
}

void CloseDescriptor(qintptr) {}

} // namespace verolux
