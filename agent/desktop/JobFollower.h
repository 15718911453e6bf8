#pragma once

#include "agent/printing/JobTracker.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace verolux {

// How long the agent follows a print job in CUPS for its page, and how often it asks.
inline constexpr std::chrono::seconds kJobFollowLimit{600};
inline constexpr std::chrono::milliseconds kJobPollInterval{200};

// Follows spooled print jobs on a timer, so no page waits on the agent: each turn asks CUPS for the
// state of every job still open, feeds it to the job's tracker and sends what it gives; a job CUPS
// has not finished within kJobFollowLimit ends as print-unconfirmed.
class JobFollower : public QObject {
    Q_OBJECT
  public:
    // The state of a CUPS job now, as a CupsState step; nullopt when CUPS cannot say.
    using Query = std::function<std::optional<JobStep>(int cupsJobId)>;
    using Send = std::function<void(const std::string& event)>;

    explicit JobFollower(Query query, QObject* parent = nullptr);

    void follow(std::shared_ptr<JobTracker> tracker, Send send);
    std::size_t following() const { return m_jobs.size(); }

  private:
    struct Job {
        std::shared_ptr<JobTracker> tracker;
        Send send;
        std::chrono::steady_clock::time_point until;
    };
    void poll();

    Query m_query;
    QTimer m_timer;
    std::vector<Job> m_jobs;
};

} // namespace verolux
