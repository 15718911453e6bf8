#include "agent/desktop/SiteQuestionQueue.h"

#include <algorithm>

namespace verolux {

SiteQuestionQueue::Answers SiteQuestionQueue::Ask(const std::string& origin, std::uint64_t ticket,
                                                  std::int64_t now) {
    Answers out;
    advance(now, out);
    if (m_shown && m_current.origin == origin) {
        m_current.tickets.push_back(ticket);
        return out;
    }
    for (Question& q : m_waiting) {
        if (q.origin == origin) {
            q.tickets.push_back(ticket);
            return out;
        }
    }
    if (m_waiting.size() >= kMaxWaiting) {
        // Pages of many sites at once: more questions would only bury each other.
        out.push_back({origin, {ticket}, false, false, false});
        return out;
    }
    m_waiting.push_back({origin, {ticket}, now + kAnswerMs});
    advance(now, out);
    return out;
}

SiteQuestionQueue::Answers SiteQuestionQueue::Tick(std::int64_t now) {
    Answers out;
    advance(now, out);
    return out;
}

SiteQuestionQueue::Answers SiteQuestionQueue::Activated(std::int64_t now) {
    Answers out;
    advance(now, out);
    if (m_shown) {
        m_shown->armed = false;
        m_armAt = now + kArmMs;
    }
    return out;
}

SiteQuestionQueue::Answers SiteQuestionQueue::KeyPressed(std::int64_t now) {
    Answers out;
    advance(now, out);
    if (m_shown && !m_shown->armed) m_armAt = now + kArmMs; // armed only after a pause in typing
    return out;
}

SiteQuestionQueue::Answers SiteQuestionQueue::Clicked(bool allow, bool remember, std::int64_t now) {
    Answers out;
    advance(now, out);
    if (!m_shown || !m_shown->armed) return out;
    finish(allow, true, remember, out);
    advance(now, out);
    return out;
}

SiteQuestionQueue::Answers SiteQuestionQueue::Closed(std::int64_t now) {
    Answers out;
    advance(now, out);
    if (!m_shown) return out;
    finish(false, true, false, out);
    advance(now, out);
    return out;
}

std::optional<std::int64_t> SiteQuestionQueue::nextWake() const {
    std::optional<std::int64_t> wake;
    auto consider = [&](std::int64_t t) { wake = wake ? std::min(*wake, t) : t; };
    if (m_shown) consider(m_shown->armed ? m_current.deadline : std::min(m_armAt, m_current.deadline));
    for (const Question& q : m_waiting)
        consider(q.deadline);
    return wake;
}

void SiteQuestionQueue::advance(std::int64_t now, Answers& out) {
    if (m_shown && now >= m_current.deadline) finish(false, false, false, out); // nobody answered
    while (!m_waiting.empty() && now >= m_waiting.front().deadline) {
        Question& q = m_waiting.front();
        out.push_back({q.origin, std::move(q.tickets), false, false, false});
        m_waiting.pop_front();
    }
    if (!m_shown && !m_waiting.empty()) showNext(now);
    if (m_shown && !m_shown->armed && now >= m_armAt) m_shown->armed = true;
}

void SiteQuestionQueue::finish(bool allowed, bool holds, bool remember, Answers& out) {
    out.push_back({m_current.origin, std::move(m_current.tickets), allowed, holds, remember});
    m_current = {};
    m_shown.reset();
}

void SiteQuestionQueue::showNext(std::int64_t now) {
    m_current = std::move(m_waiting.front());
    m_waiting.pop_front();
    m_current.deadline = now + kAnswerMs;
    m_armAt = now + kArmMs;
    m_shown = Shown{m_current.origin, ++m_serial, false};
}

} // namespace verolux
