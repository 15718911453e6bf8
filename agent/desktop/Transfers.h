#pragma once

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace verolux {

// Network transfers on worker threads, so that the agent keeps answering its pages while a template
// trickles in or a PDF goes out. Workers stay for the next transfer (starting a thread per upload
// cost more than a small upload); a transfer never waits for another: one that finds every worker
// busy gets a new one. Each result comes back to the UI thread through the event loop. When the
// agent ends, what still runs is aborted (curl notices within a second) and waited for, a transfer
// not yet begun does not begin, and results not yet taken are dropped.
class Transfers {
  public:
    // What runs on the UI thread once a transfer is over.
    using Then = std::function<void()>;
    // Quick file work after a transfer (removing an uploaded PDF): no result, never aborted.
    using Chore = std::function<void()>;
    // What a transfer leaves: then for the UI thread, and a chore its worker does once then is on
    // its way, so the page hears of the outcome first without another thread to wake for the files.
    struct Outcome {
        Outcome(Then t = {}, Chore c = {}) : then(std::move(t)), tidy(std::move(c)) {}
        Then then;
        Chore tidy;
    };
    // The transfer itself, given the abort flag for its HTTP calls (TransferPace::abort). It must not
    // throw; it returns what is to be done with its outcome.
    using Work = std::function<Outcome(const std::atomic<bool>& abort)>;

    Transfers();
    ~Transfers();
    Transfers(const Transfers&) = delete;
    Transfers& operator=(const Transfers&) = delete;

    // Starts the transfer; its id serves Abort() until its result has been delivered.
    int Run(Work work);
    // Does the chore on a worker, off the UI thread; chores still waiting when the agent ends are
    // done before it ends. It must not throw.
    void Tidy(Chore chore);
    // Sets that transfer's abort flag (a page took its job back); nothing when it is over.
    void Abort(int id);
    // Transfers whose result has not been delivered yet.
    std::size_t running() const { return m_running.size(); }
    // Threads started so far: as many as ever had work at once.
    std::size_t workers() const;

  private:
    struct Task {
        int id = -1; // -1: a chore
        Work work;
        Chore chore;
        std::atomic<bool> abort{false};
    };
    void push(std::shared_ptr<Task> task);
    void serve(); // a worker's loop

    std::unique_ptr<QObject> m_context;             // results are delivered to it, and go with it
    std::map<int, std::shared_ptr<Task>> m_running; // UI thread only
    int m_next = 0;

    mutable std::mutex m_mutex; // guards what follows
    std::condition_variable m_wake;
    std::deque<std::shared_ptr<Task>> m_pending;
    std::size_t m_idle = 0; // workers waiting for a task
    bool m_stopping = false;
    std::vector<std::thread> m_workers;
};

} // namespace verolux
