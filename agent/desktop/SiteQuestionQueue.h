#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace verolux {

// Which site the desktop user is asked about, and when a click on the question counts. One question
// is shown at a time; a few more sites wait their turn, later ones are refused at once. The question
// accepts nothing until it has been on the screen (or held the focus) for kArmMs with no key typed
// at it: keys and clicks meant for another window must not answer it. No Qt, no clock: every event
// carries the time in milliseconds, and the window shows what current() says.
class SiteQuestionQueue {
  public:
    static constexpr std::size_t kMaxWaiting = 3;    // sites waiting behind the one shown
    static constexpr std::int64_t kArmMs = 1000;     // before the question accepts an answer
    static constexpr std::int64_t kAnswerMs = 60000; // to answer once shown; to be shown once asked

    struct Answer {
        std::string origin;
        std::vector<std::uint64_t> tickets; // the connections waiting for it
        bool allowed = false;
        bool holds = false;    // the user chose: it holds until the agent ends
        bool remember = false; // and ticked 记住我的选择: it goes into the settings
    };
    using Answers = std::vector<Answer>;

    struct Shown {
        std::string origin;
        std::uint64_t serial = 0; // a new question (even of the same site) has a new one
        bool armed = false;       // clicks count
    };

    // A page of origin asks; ticket names its connection. Pages of a site already shown or waiting
    // wait for the same answer.
    Answers Ask(const std::string& origin, std::uint64_t ticket, std::int64_t now);
    // Time passes: the question arms, questions nobody answered in time are refused (not held).
    Answers Tick(std::int64_t now);
    // The question got the keyboard focus: it waits again before it accepts anything.
    Answers Activated(std::int64_t now);
    // A key reached the question before it was armed: someone is typing, maybe for another window.
    Answers KeyPressed(std::int64_t now);
    // 允许 or 拒绝 clicked: the answer when the question is armed, nothing otherwise.
    Answers Clicked(bool allow, bool remember, std::int64_t now);
    // The question was closed: a refusal that holds until the agent ends, never remembered.
    Answers Closed(std::int64_t now);

    const std::optional<Shown>& shown() const { return m_shown; }
    std::size_t waiting() const { return m_waiting.size(); }
    // When Tick has something to do next.
    std::optional<std::int64_t> nextWake() const;

  private:
    struct Question {
        std::string origin;
        std::vector<std::uint64_t> tickets;
        std::int64_t deadline = 0;
    };
    // Arms and expires what is due, and shows the next question when none is shown.
    void advance(std::int64_t now, Answers& out);
    void finish(bool allowed, bool holds, bool remember, Answers& out);
    void showNext(std::int64_t now);

    std::optional<Shown> m_shown;
    Question m_current; // valid while m_shown
    std::int64_t m_armAt = 0;
    std::deque<Question> m_waiting;
    std::uint64_t m_serial = 0;
};

} // namespace verolux
