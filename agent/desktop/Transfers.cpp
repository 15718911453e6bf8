#include "agent/desktop/Transfers.h"

namespace verolux {

Transfers::Transfers() : m_context(std::make_unique<QObject>()) {}

Transfers::~Transfers() {
    m_abort = true;
    for (auto& [id, thread] : m_threads)
        thread.join();
    // Deleting the context drops the results the threads posted and nobody took.
}

void Transfers::Run(Work work) {
    const int id = m_next++;
    QObject* context = m_context.get(); // outlives every thread: the destructor joins them first
    m_threads.emplace(id, std::thread([this, id, context, work = std::move(work)] {
                          Then then = work(m_abort);
                          QMetaObject::invokeMethod(
                              context,
                              [this, id, then = std::move(then)] {
                                  // The thread has posted this as its last act.
                                  auto it = m_threads.find(id);
                                  it->second.join();
                                  m_threads.erase(it);
                                  then();
                              },
                              Qt::QueuedConnection);
                      }));
}

} // namespace verolux
