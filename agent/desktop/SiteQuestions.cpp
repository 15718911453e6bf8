#include "agent/desktop/SiteQuestions.h"

#include "agent/desktop/frmSiteQuestion.h"

#include <QGuiApplication>
#include <QTimer>

namespace verolux {

bool HasDesktop() {
    const QString platform = QGuiApplication::platformName();
    return platform != QStringLiteral("offscreen") && platform != QStringLiteral("minimal");
}

SiteQuestions::SiteQuestions(const mINI::Settings& settings, QObject* parent)
    : QObject(parent), m_settings(settings) {}

SiteQuestions::~SiteQuestions() {
    for (auto& [origin, question] : m_open)
        delete question.dialog.data();
}

void SiteQuestions::Ask(const std::string& origin, std::function<void(bool)> answer) {
    if (const auto it = m_answers.find(origin); it != m_answers.end()) return answer(it->second);
    if (!HasDesktop()) return answer(false);
    Question& question = m_open[origin];
    question.waiting.push_back(std::move(answer));
    if (question.dialog) return; // the user is being asked already: one question per site

    auto* dialog = new frmSiteQuestion(QString::fromStdString(origin));
    question.dialog = dialog;
    connect(dialog, &QDialog::finished, this, [this, origin, dialog](int result) {
        answered(origin, result == QDialog::Accepted, true, dialog->remember());
        dialog->deleteLater();
    });
    // Nobody there: the page is refused, and asked about again next time.
    QTimer::singleShot(kAnswerSeconds * 1000, dialog, [this, origin, dialog] {
        dialog->disconnect(this);
        answered(origin, false, false, false);
        dialog->deleteLater();
    });
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

void SiteQuestions::answered(const std::string& origin, bool allowed, bool holds, bool remember) {
    const auto it = m_open.find(origin);
    if (it == m_open.end()) return;
    std::vector<std::function<void(bool)>> waiting = std::move(it->second.waiting);
    m_open.erase(it);
    if (holds) m_answers[origin] = allowed;
    if (remember) m_settings.WriteIni("Sites", origin, allowed ? "1" : "0");
    for (auto& answer : waiting)
        answer(allowed);
}

void SiteQuestions::Forget(const std::string& origin) {
    m_answers.erase(origin);
    m_settings.DeleteIni("Sites", origin);
}

} // namespace verolux
