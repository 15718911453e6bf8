#include "agent/desktop/RequestQueue.h"

#include <memory>

namespace verolux {

RequestQueue::RequestQueue() = default;
RequestQueue::~RequestQueue() = default;

void RequestQueue::Push(Work work, std::size_t bytes) {
    m_waiting.push_back({std::move(work), bytes});
    m_waitingBytes += bytes;
    if (!m_busy && !m_scheduled) startNext();
}

void RequestQueue::startNext() {
    m_scheduled = false;
    if (m_busy || m_waiting.empty()) return;
    Work work = std::move(m_waiting.front().work);
    m_waitingBytes -= m_waiting.front().bytes;
    m_waiting.pop_front();
    m_busy = true;
    // A request that finishes inside work() must not start the next one there: that would nest.
    auto once = std::make_shared<bool>(false);
    work([this, once] {
        if (*once) return;
        *once = true;
        m_busy = false;
        scheduleNext();
    });
}

void RequestQueue::scheduleNext() {
    if (m_scheduled || m_waiting.empty()) return;
    m_scheduled = true;
    QMetaObject::invokeMethod(
        &m_context, [this] { startNext(); }, Qt::QueuedConnection);
}

} // namespace verolux
