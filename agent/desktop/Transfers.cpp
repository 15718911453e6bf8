#include "agent/desktop/Transfers.h"

namespace verolux {

Transfers::Transfers() : m_context(std::make_unique<QObject>()) {}

Transfers::~Transfers() {
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    for (auto& [id, task] : m_running)
        task->abort = true;
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
        worker.join();
    // Deleting the context drops the results the workers posted and nobody took.
}

int Transfers::Run(Work work) {
    auto task = std::make_shared<Task>();
    task->id = m_next++;
    task->work = std::move(work);
    m_running.emplace(task->id, task);
    const int id = task->id;
    push(std::move(task));
    return id;
}

void Transfers::Tidy(Chore chore) {
    auto task = std::make_shared<Task>();
    task->chore = std::move(chore);
    push(std::move(task));
}

void Transfers::push(std::shared_ptr<Task> task) {
    {
        const std::lock_guard lock(m_mutex);
        m_pending.push_back(std::move(task));
        // A task waits for no other: each one waiting has a worker of its own to take it.
        if (m_pending.size() > m_idle) m_workers.emplace_back([this] { serve(); });
    }
    m_wake.notify_one();
}

void Transfers::Abort(int id) {
    if (const auto it = m_running.find(id); it != m_running.end()) it->second->abort = true;
}

std::size_t Transfers::workers() const {
    const std::lock_guard lock(m_mutex);
    return m_workers.size();
}

void Transfers::serve() {
    QObject* context = m_context.get(); // outlives every worker: the destructor joins them first
    std::unique_lock lock(m_mutex);
    for (;;) {
        ++m_idle;
        m_wake.wait(lock, [this] { return m_stopping || !m_pending.empty(); });
        --m_idle;
        if (m_pending.empty()) return; // stopping, and nothing left to do
        const std::shared_ptr<Task> task = std::move(m_pending.front());
        m_pending.pop_front();
        // A transfer not begun when the agent ends is dropped (its result would be); chores are done.
        if (m_stopping && !task->chore) continue;
        lock.unlock();
        if (task->chore) {
            task->chore();
        } else {
            Outcome outcome = task->work(task->abort);
            QMetaObject::invokeMethod(
                context,
                [this, id = task->id, then = std::move(outcome.then)] {
                    m_running.erase(id);
                    if (then) then();
                },
                Qt::QueuedConnection);
            if (outcome.tidy) outcome.tidy();
        }
        lock.lock();
    }
}

} // namespace verolux
