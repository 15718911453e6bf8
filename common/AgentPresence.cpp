#include "common/AgentPresence.h"

namespace verolux {

std::string AgentCaption(std::string_view version) {
    std::string caption = "Web报表服务端 (";
    caption.append(version).append(")");
    return caption;
}

} // namespace verolux
