#include "agent/desktop/Transfers.h"

namespace verolux {

Transfers::Transfers() : m_context(std::make_unique<QObject>()) {}

Transfers::~Transfers() {
    for (auto& [id, running] : m_threads)
        *running.abort = true;
    for (auto& [id, running] : m_threads)
        running.thread.join();
    // Deleting the context drops the results the threads posted and nobody took.
}

int Transfers::Run(Work work) {
    const int id = m_next++;
    QObject* context = m_context.get(); // outlives every thread: the destructor joins them first
    // The flag lives in the map entry, which the thread outlives only after posting its last act.
    auto abort = std::make_unique<std::atomic<bool>>(false);
    const std::atomic<bool>* flag = abort.get();
    Running& running = m_threads[id];
    running.abort = std::move(abort);
    running.thread = std::thread([this, id, context, flag, work = std::move(work)] {
        Then then = work(*flag);
        QMetaObject::invokeMethod(
            context,
            [this, id, then = std::move(then)] {
                // The thread has posted this as its last act.
                auto it = m_threads.find(id);
                it->second.thread.join();
                m_threads.erase(it);
                then();
            },
            Qt::QueuedConnection);
    });
    return id;
}

void Transfers::Abort(int id) {
    if (const auto it = m_threads.find(id); it != m_threads.end()) *it->second.abort = true;
}

} // namespace verolux
