#include "agent/desktop/LogPane.h"

namespace verolux {

LogPane::Update LogPane::AddLog(std::u16string_view message, std::u16string_view stamp) {
    Update u;
    if (m_text.size() > kLimit) {
        m_text.clear();
        u.cleared = true;
    }
    u.appended.reserve(2 + stamp.size() + 1 + message.size());
    u.appended.append(u"\r\n").append(stamp).append(u" ").append(message);
    m_text.append(u.appended);
    return u;
}

} // namespace verolux
