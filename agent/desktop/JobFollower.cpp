#include "agent/desktop/JobFollower.h"

namespace verolux {

JobFollower::JobFollower(Query query, QObject* parent) : QObject(parent), m_query(std::move(query)) {
    m_timer.setInterval(kJobPollInterval);
    connect(&m_timer, &QTimer::timeout, this, &JobFollower::poll);
}

void JobFollower::follow(std::shared_ptr<JobTracker> tracker, Send send) {
    m_jobs.push_back(
        {std::move(tracker), std::move(send), std::chrono::steady_clock::now() + kJobFollowLimit});
    if (!m_timer.isActive()) m_timer.start();
}

void JobFollower::poll() {
    // Sending lets no events run; a page that is gone meanwhile just misses its events.
    std::vector<Job> open;
    const auto now = std::chrono::steady_clock::now();
    for (Job& job : m_jobs) {
        const int id = job.tracker->cupsJobId();
        if (const std::optional<JobStep> step = m_query(id))
            for (const std::string& e : job.tracker->feed(*step))
                job.send(e);
        if (!job.tracker->finished() && now >= job.until) {
            JobStep gaveUp{JobStep::Kind::GaveUp};
            gaveUp.message = "CUPS job " + std::to_string(id) + " did not finish within " +
                             std::to_string(kJobFollowLimit.count()) + " s; the agent no longer follows it";
            for (const std::string& e : job.tracker->feed(gaveUp))
                job.send(e);
        }
        if (!job.tracker->finished()) open.push_back(std::move(job));
    }
    m_jobs = std::move(open);
    if (m_jobs.empty()) m_timer.stop();
}

} // namespace verolux
