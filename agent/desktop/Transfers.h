#pragma once

#include <QObject>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <thread>

namespace verolux {

// Network transfers on threads of their own, so that the agent keeps answering its pages while a
// template trickles in or a PDF goes out. Each result comes back to the UI thread through the event
// loop. When the agent ends, what still runs is aborted (curl notices within a second) and waited
// for; results not yet taken are dropped.
class Transfers {
  public:
    // What runs on the UI thread once a transfer is over.
    using Then = std::function<void()>;
    // The transfer itself, given the abort flag for its HTTP calls (TransferPace::abort). It must not
    // throw; it returns what the UI thread is to do with its outcome.
    using Work = std::function<Then(const std::atomic<bool>& abort)>;

    Transfers();
    ~Transfers();
    Transfers(const Transfers&) = delete;
    Transfers& operator=(const Transfers&) = delete;

    // Starts the transfer; its id serves Abort() until its result has been delivered.
    int Run(Work work);
    // Sets that transfer's abort flag (a page took its job back); nothing when it is over.
    void Abort(int id);
    std::size_t running() const { return m_threads.size(); }

  private:
    struct Running {
        std::thread thread;
        std::unique_ptr<std::atomic<bool>> abort;
    };
    std::unique_ptr<QObject> m_context; // results are delivered to it, and go with it
    std::map<int, Running> m_threads;
    int m_next = 0;
};

} // namespace verolux
