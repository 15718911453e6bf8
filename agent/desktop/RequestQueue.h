#pragma once

#include <QObject>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>

namespace verolux {

// Print requests carried out one after another, in arrival order. A request that waits for the
// network lets the agent answer everything else meanwhile; whatever arrives then waits here. The
// next request starts once the one before has finished: from the event loop when that one finished
// at once, never inside its work, so a burst of thousands of requests does not nest.
class RequestQueue {
  public:
    using Finished = std::function<void()>;
    // One request: it calls finished exactly once, at once or later from the event loop.
    using Work = std::function<void(Finished finished)>;

    RequestQueue();
    ~RequestQueue();

    // Starts work at once when nothing runs or waits; otherwise it waits its turn. bytes: what it
    // holds while it waits (its request text). Returns its number for Remove().
    std::uint64_t Push(Work work, std::size_t bytes);
    // Takes a request that still waits out of the queue, never to run: false when it has started.
    bool Remove(std::uint64_t id);

    bool busy() const { return m_busy; }
    std::size_t waiting() const { return m_waiting.size(); }
    std::size_t waitingBytes() const { return m_waitingBytes; }

  private:
    void startNext();
    void scheduleNext();

    struct Waiting {
        Work work;
        std::size_t bytes;
        std::uint64_t id;
    };
    std::deque<Waiting> m_waiting;
    std::size_t m_waitingBytes = 0;
    bool m_busy = false;
    bool m_scheduled = false;
    bool m_starting = false; // inside a request's work()
    std::uint64_t m_nextId = 1;
    QObject m_context; // the scheduled start goes with the queue
};

} // namespace verolux
