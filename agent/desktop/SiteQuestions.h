#pragma once

#include "common/Ini.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace verolux {
class frmSiteQuestion;

// Asks the desktop user whether a site's pages may use the agent: one question per site at a time,
// answered within kAnswerSeconds. The answer holds until the agent ends, and in MyIni.ini [Sites]
// when the user ticks 记住我的选择. Without a display, or when nobody answers, the answer is no and
// nothing is remembered.
class SiteQuestions : public QObject {
    Q_OBJECT
  public:
    static constexpr int kAnswerSeconds = 60;

    SiteQuestions(const mINI::Settings& settings, QObject* parent);
    ~SiteQuestions() override;

    void Ask(const std::string& origin, std::function<void(bool)> answer);

    // The answers of this run, newest choice per site.
    const std::map<std::string, bool>& answers() const { return m_answers; }
    // The site goes from this run's answers and from the settings: it is asked about again.
    void Forget(const std::string& origin);

  private:
    struct Question {
        QPointer<frmSiteQuestion> dialog;
        std::vector<std::function<void(bool)>> waiting;
    };
    // holds: the user chose (for this run); remember: and ticked 记住我的选择 (in the settings).
    void answered(const std::string& origin, bool allowed, bool holds, bool remember);

    const mINI::Settings& m_settings;
    std::map<std::string, Question> m_open;
    std::map<std::string, bool> m_answers;
};

// Whether windows can be shown to a user (not offscreen).
bool HasDesktop();

} // namespace verolux
