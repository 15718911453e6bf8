#include "agent/desktop/LogPane.h"

#include <gtest/gtest.h>

using verolux::LogPane;

TEST(LogPane, FirstEntryStandsOnTheSecondLine) {
    LogPane pane;
    pane.AddLog(u"收到一个连接请求~127.0.0.1:5000", u"2026/12/6 13:05:09");
    EXPECT_EQ(pane.text(), u"\r\n2026/12/6 13:05:09 收到一个连接请求~127.0.0.1:5000");
    pane.AddLog(u"连接关闭", u"2026/12/6 13:05:10");
    // A line break before each entry, none after the last.
    EXPECT_EQ(pane.text(),
              u"\r\n2026/12/6 13:05:09 收到一个连接请求~127.0.0.1:5000\r\n2026/12/6 13:05:10 连接关闭");
}

// The pane is emptied only when it holds MORE than 15,000 characters before an entry.
TEST(LogPane, EmptiedOnlyPastTheLimit) {
    LogPane pane;
    const std::u16string stamp = u"2026/12/6 1:02:03"; // 17 characters
    // CR LF + stamp + blank = 20 characters around each message.
    pane.AddLog(std::u16string(LogPane::kLimit - 20, u'x'), stamp);
    ASSERT_EQ(pane.text().size(), LogPane::kLimit);

    auto second = pane.AddLog(u"grows", stamp); // exactly 15,000: kept
    EXPECT_FALSE(second.cleared);
    EXPECT_EQ(pane.text().size(), LogPane::kLimit + 25);

    auto third = pane.AddLog(u"alone", stamp); // more than 15,000: emptied first
    EXPECT_TRUE(third.cleared);
    EXPECT_EQ(pane.text(), u"\r\n2026/12/6 1:02:03 alone");

    // Characters, not bytes: 7,500 Chinese characters are 22,500 bytes of UTF-8.
    LogPane chinese;
    chinese.AddLog(std::u16string(7500, u'报'), u"s");
    EXPECT_FALSE(chinese.AddLog(u"m", u"s").cleared);
}
