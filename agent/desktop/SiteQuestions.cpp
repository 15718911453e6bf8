#include "agent/desktop/SiteQuestions.h"

#include "agent/desktop/frmSiteQuestion.h"

#include <QGuiApplication>

#include <algorithm>

namespace verolux {

bool HasDesktop() {
    const QString platform = QGuiApplication::platformName();
    return platform != QStringLiteral("offscreen") && platform != QStringLiteral("minimal");
}

SiteQuestions::SiteQuestions(const mINI::Settings& settings, QObject* parent, bool desktop)
    : QObject(parent), m_settings(settings), m_desktop(desktop) {
    m_clock.start();
    m_wake.setSingleShot(true);
    connect(&m_wake, &QTimer::timeout, this, [this] { apply(m_queue.Tick(now())); });
}

SiteQuestions::~SiteQuestions() {
    delete m_dialog.data();
}

std::uint64_t SiteQuestions::Ask(const std::string& origin, std::function<void(bool)> answer) {
    if (const auto it = m_answers.find(origin); it != m_answers.end()) {
        answer(it->second);
        return 0;
    }
    if (!m_desktop) {
        answer(false);
        return 0;
    }
    const std::uint64_t ticket = m_nextTicket++;
    m_waiting.emplace(ticket, std::move(answer));
    apply(m_queue.Ask(origin, ticket, now()));
    return m_waiting.count(ticket) ? ticket : 0;
}

void SiteQuestions::Withdraw(std::uint64_t ticket) {
    if (m_waiting.erase(ticket) == 0) return; // answered already
    apply(m_queue.Withdraw(ticket, now()));
}

std::optional<bool> SiteQuestions::AskAgainLater(const std::string& origin) {
    if (const auto it = m_answers.find(origin); it != m_answers.end()) return it->second;
    if (!m_desktop) return false;
    apply(m_queue.Ask(origin, SiteQuestionQueue::kAsksAgain, now()));
    if (m_queue.pending(origin)) return std::nullopt;
    return false; // no room for another question
}

void SiteQuestions::apply(const SiteQuestionQueue::Answers& answers) {
    for (const SiteQuestionQueue::Answer& a : answers) {
        if (a.holds) m_answers[a.origin] = a.allowed;
        if (a.remember) m_settings.WriteIni("Sites", a.origin, a.allowed ? "1" : "0");
        for (std::uint64_t ticket : a.tickets) {
            const auto it = m_waiting.find(ticket);
            if (it == m_waiting.end()) continue;
            std::function<void(bool)> answer = std::move(it->second);
            m_waiting.erase(it);
            answer(a.allowed);
        }
    }
    sync();
}

void SiteQuestions::sync() {
    const auto& shown = m_queue.shown();
    if (!shown) {
        closeDialog();
        m_wake.stop();
        return;
    }
    if (!m_dialog || m_dialogSerial != shown->serial) {
        closeDialog();
        auto* dialog = new frmSiteQuestion(QString::fromStdString(shown->origin));
        m_dialog = dialog;
        m_dialogSerial = shown->serial;
        connect(dialog, &frmSiteQuestion::answered, this,
                [this](bool allow, bool remember) { apply(m_queue.Clicked(allow, remember, now())); });
        connect(dialog, &frmSiteQuestion::dismissed, this, [this] { apply(m_queue.Closed(now())); });
        connect(dialog, &frmSiteQuestion::activated, this, [this] { apply(m_queue.Activated(now())); });
        connect(dialog, &frmSiteQuestion::typedUnarmed, this, [this] { apply(m_queue.KeyPressed(now())); });
        dialog->show();
    }
    m_dialog->setArmed(shown->armed);
    if (const auto wake = m_queue.nextWake())
        m_wake.start(int(std::clamp<std::int64_t>(*wake - now(), 0, SiteQuestionQueue::kAnswerMs)));
    else
        m_wake.stop();
}

void SiteQuestions::closeDialog() {
    if (!m_dialog) return;
    m_dialog->disconnect(this); // its own closing is no answer
    m_dialog->hide();
    m_dialog->deleteLater();
    m_dialog.clear();
}

frmSiteQuestion* SiteQuestions::question() const {
    return m_dialog.data();
}

void SiteQuestions::Forget(const std::string& origin) {
    m_answers.erase(origin);
    m_settings.DeleteIni("Sites", origin);
}

} // namespace verolux
