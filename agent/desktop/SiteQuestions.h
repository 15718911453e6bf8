#pragma once

#include "agent/desktop/SiteQuestionQueue.h"
#include "common/Ini.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace verolux {
class frmSiteQuestion;

// Asks the desktop user whether a site's pages may use the agent, one question on the screen at a
// time (SiteQuestionQueue). The answer holds until the agent ends, and in MyIni.ini [Sites] when
// the user ticks 记住我的选择. Without a display, when nobody answers in time or when too many sites
// are waiting already, the answer is no and nothing is kept.
class SiteQuestions : public QObject {
    Q_OBJECT
  public:
    // desktop: whether there is a user to ask (HasDesktop(); tests ask offscreen).
    SiteQuestions(const mINI::Settings& settings, QObject* parent, bool desktop);
    ~SiteQuestions() override;

    // answer is called once, maybe before Ask returns. Returns the ticket to withdraw it with while
    // it waits (0: answered already).
    std::uint64_t Ask(const std::string& origin, std::function<void(bool)> answer);
    // The page that waits on ticket has gone: it needs no answer, and a question not yet shown that
    // no one waits for any more gives up its place.
    void Withdraw(std::uint64_t ticket);
    // A page that does not wait but asks again later: the answer when it is known now (no when there
    // is no desktop or no room for another question), none while the site's question is open (asked
    // now, or already). Its question stays even when no page waits for it.
    std::optional<bool> AskAgainLater(const std::string& origin);

    // The answers of this run, newest choice per site.
    const std::map<std::string, bool>& answers() const { return m_answers; }
    // The site goes from this run's answers and from the settings: it is asked about again.
    void Forget(const std::string& origin);

    // The question on the screen, if any.
    frmSiteQuestion* question() const;
    void setDesktop(bool desktop) { m_desktop = desktop; }

  private:
    std::int64_t now() const { return m_clock.elapsed(); }
    // Carries out the answers the queue gave, then shows what it shows now.
    void apply(const SiteQuestionQueue::Answers& answers);
    void sync();
    void closeDialog();

    const mINI::Settings& m_settings;
    bool m_desktop;
    SiteQuestionQueue m_queue;
    std::map<std::uint64_t, std::function<void(bool)>> m_waiting; // by ticket
    std::uint64_t m_nextTicket = 1;
    std::map<std::string, bool> m_answers;
    QPointer<frmSiteQuestion> m_dialog;
    std::uint64_t m_dialogSerial = 0;
    QElapsedTimer m_clock;
    QTimer m_wake;
};

// Whether windows can be shown to a user (not offscreen).
bool HasDesktop();

} // namespace verolux
