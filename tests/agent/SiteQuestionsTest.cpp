#include "agent/desktop/SiteQuestions.h"
#include "agent/desktop/frmSiteQuestion.h"
#include "tests/agent/AgentTestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

using verolux::frmSiteQuestion;
using verolux::SiteQuestions;

namespace {

class SiteQuestionTest : public testing::Test {
  protected:
    // The answer a page gets, once it gets one.
    std::function<void(bool)> Page(std::optional<bool>& got) {
        return [&got](bool allowed) { got = allowed; };
    }
    frmSiteQuestion* Question() const { return m_questions.question(); }
    bool Armed() const { return Question() && Question()->cmdAllow->isEnabled(); }

    QTemporaryDir m_dir;
    mINI::Settings m_settings{m_dir.path().toStdString()};
    SiteQuestions m_questions{m_settings, nullptr, true};
};

// Keys typed at the question and clicks in its first second do nothing; it arms a second after the
// last key, with the focus on 拒绝, and Enter presses nothing even then: only a click answers.
TEST_F(SiteQuestionTest, ArmsOnlyAfterASecondWithoutKeys) {
    std::optional<bool> got;
    m_questions.Ask("https://a.example", Page(got));
    ASSERT_NE(Question(), nullptr);
    EXPECT_TRUE(Question()->isVisible());
    EXPECT_TRUE(Question()->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(Question()->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    Question()->cmdAllow->click();
    Question()->chkRemember->click();
    QElapsedTimer sinceKey;
    for (int i = 0; i < 6; ++i) {
        for (Qt::Key key : {Qt::Key_Space, Qt::Key_Tab, Qt::Key_Return, Qt::Key_Escape})
            QTest::keyClick(Question(), key);
        sinceKey.start();
        QTest::qWait(300);
        ASSERT_FALSE(Armed()) << "armed while keys kept coming";
    }
    ASSERT_TRUE(agenttest::WaitFor([&] { return Armed(); }));
    EXPECT_GE(sinceKey.elapsed(), 900);
    EXPECT_FALSE(got);
    EXPECT_FALSE(Question()->chkRemember->isChecked());
    EXPECT_EQ(Question()->focusWidget(), Question()->cmdRefuse);
    EXPECT_EQ(Question()->chkRemember->focusPolicy(), Qt::NoFocus);
    QTest::keyClick(Question(), Qt::Key_Return);
    QTest::keyClick(Question(), Qt::Key_Enter);
    EXPECT_FALSE(got) << "no default button";
    QTest::mouseClick(Question()->chkRemember, Qt::LeftButton);
    QTest::mouseClick(Question()->cmdAllow, Qt::LeftButton);
    EXPECT_EQ(got, true);
    EXPECT_EQ(m_settings.ReadIni("Sites", "https://a.example"), "1");
    EXPECT_EQ(Question(), nullptr);
    std::optional<bool> again;
    m_questions.Ask("https://a.example", Page(again));
    EXPECT_EQ(again, true) << "the answer holds without a question";
}

// Several sites at once: one question at a time, three more waiting, the rest refused at once.
TEST_F(SiteQuestionTest, OneQuestionAtATime) {
    std::optional<bool> got[6];
    const char* sites[] = {"http://a", "http://b", "http://c", "http://d", "http://e", "http://b"};
    for (int i = 0; i < 6; ++i)
        m_questions.Ask(sites[i], Page(got[i]));
    EXPECT_EQ(got[4], false) << "a fifth site is refused at once";
    for (int i : {0, 1, 2, 3, 5})
        EXPECT_FALSE(got[i]);
    auto shownQuestions = [] {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            n += qobject_cast<frmSiteQuestion*>(w) && w->isVisible();
        return n;
    };
    EXPECT_EQ(shownQuestions(), 1);
    EXPECT_EQ(Question()->origin(), QStringLiteral("http://a"));
    ASSERT_TRUE(agenttest::WaitFor([&] { return Armed(); }));
    QTest::mouseClick(Question()->cmdRefuse, Qt::LeftButton);
    EXPECT_EQ(got[0], false);
    ASSERT_NE(Question(), nullptr);
    EXPECT_EQ(Question()->origin(), QStringLiteral("http://b"));
    EXPECT_FALSE(Armed()) << "the next question waits its own second";
    ASSERT_TRUE(agenttest::WaitFor([&] { return Armed(); }));
    Question()->close(); // the close box: a no for this run, never remembered
    // Qt on Windows hands the close to the window system: the close event may come a moment later.
    ASSERT_TRUE(agenttest::WaitFor([&] { return got[1].has_value(); }));
    EXPECT_EQ(got[1], false);
    EXPECT_EQ(got[5], false) << "both pages of the site had the one question";
    EXPECT_EQ(Question()->origin(), QStringLiteral("http://c"));
    EXPECT_EQ(m_questions.answers().at("http://b"), false);
    EXPECT_EQ(m_settings.ReadIni("Sites", "http://b"), "");
    QTest::qWait(0);
    EXPECT_EQ(shownQuestions(), 1);
}

// A page that left before its question was shown gives up its place; a page that asks again keeps
// the question open without waiting, and gets the answer once there is one.
TEST_F(SiteQuestionTest, WithdrawnPagesFreeTheirPlaces) {
    std::optional<bool> got[5];
    const char* sites[] = {"http://a", "http://b", "http://c", "http://d", "http://e"};
    const std::uint64_t shownTicket = m_questions.Ask(sites[0], Page(got[0]));
    const std::uint64_t left = m_questions.Ask(sites[1], Page(got[1]));
    ASSERT_NE(left, 0u);
    m_questions.Withdraw(left);
    m_questions.Withdraw(shownTicket); // the question on the screen stays
    for (int i = 2; i < 5; ++i)
        m_questions.Ask(sites[i], Page(got[i]));
    for (const auto& g : got)
        EXPECT_FALSE(g) << "nobody answered, nobody refused at once";
    EXPECT_EQ(m_questions.AskAgainLater("http://f"), false) << "three sites wait already";
    EXPECT_EQ(m_questions.AskAgainLater("http://a"), std::nullopt) << "its question is open";
    ASSERT_NE(Question(), nullptr);
    EXPECT_EQ(Question()->origin(), QStringLiteral("http://a"));
    ASSERT_TRUE(agenttest::WaitFor([&] { return Armed(); }));
    QTest::mouseClick(Question()->cmdAllow, Qt::LeftButton);
    EXPECT_FALSE(got[0]) << "its page had gone";
    EXPECT_EQ(m_questions.AskAgainLater("http://a"), true);
    EXPECT_EQ(Question()->origin(), QStringLiteral("http://c"));
}

} // namespace
