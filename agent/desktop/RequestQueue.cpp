#include "agent/desktop/RequestQueue.h"

#include <algorithm>
#include <memory>

namespace verolux {

RequestQueue::RequestQueue() = default;
RequestQueue::~RequestQueue() = default;

std::uint64_t RequestQueue::Push(Work work, std::size_t bytes) {
    const std::uint64_t id = m_nextId++;
    m_waiting.push_back({std::move(work), bytes, id});
    m_waitingBytes += bytes;
    if (!m_busy && !m_scheduled) startNext();
    return id;
}

bool RequestQueue::Remove(std::uint64_t id) {
    // Waiting requests are in arrival order, so in order of their numbers.
    const auto it = std::lower_bound(m_waiting.begin(), m_waiting.end(), id,
                                     [](const Waiting& w, std::uint64_t wanted) { return w.id < wanted; });
    if (it == m_waiting.end() || it->id != id) return false;
    m_waitingBytes -= it->bytes;
    m_waiting.erase(it);
    return true;
}

void RequestQueue::startNext() {
    m_scheduled = false;
    if (m_busy || m_waiting.empty()) return;
    Work work = std::move(m_waiting.front().work);
    m_waitingBytes -= m_waiting.front().bytes;
    m_waiting.pop_front();
    m_busy = true;
    m_starting = true;
    auto once = std::make_shared<bool>(false);
    work([this, once] {
        if (*once) return;
        *once = true;
        m_busy = false;
        // A request that finishes inside work() must not start the next one there: that would nest.
        // One that finishes later (its upload's result, from the event loop) starts it right away.
        if (m_starting)
            scheduleNext();
        else
            startNext();
    });
    m_starting = false;
}

void RequestQueue::scheduleNext() {
    if (m_scheduled || m_waiting.empty()) return;
    m_scheduled = true;
    QMetaObject::invokeMethod(
        &m_context, [this] { startNext(); }, Qt::QueuedConnection);
}

} // namespace verolux
