#include "tests/common/TempFolder.h"

#include "common/AgentPresence.h"
#include "common/Ini.h"
#include "common/IniText.h"
#include "common/LogFile.h"
#include "common/TextFile.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include "common/WideText.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <regex>

namespace fs = std::filesystem;

namespace {

class Folder : public ::testing::Test {
  protected:
    void TearDown() override { fs::remove_all(m_dir); }
    std::string iniText() const { return verolux::ReadWholeFile(m_dir / "MyIni.ini"); }

    fs::path m_dir = testsupport::FreshTempFolder("vx-ini");
    mINI::Settings m_settings{m_dir};
};

// The text rules are tested on their own (IniTextTest); here the file: created by the first write,
// read back byte for byte.
TEST_F(Folder, MissingFileReadsEmptyAndFirstWriteCreatesIt) {
    EXPECT_EQ(m_settings.ReadIni("AppInfo", "PrintVer"), "");
    EXPECT_FALSE(fs::exists(m_settings.file()));
    m_settings.WriteIni("Verolux", "标题", "Web报表服务端 ※ 测试");
    EXPECT_EQ(m_settings.ReadIni("Verolux", "标题"), "Web报表服务端 ※ 测试");
    EXPECT_EQ(m_settings.file(), m_dir / "MyIni.ini");
}

// What reading would cut is never written: a 1 KiB value comes back whole, one byte more (or an 8 MiB
// key) leaves the file as it was.
TEST_F(Folder, OverlongKeysAndValuesAreNotWritten) {
    const std::string kib(mINI::kMaxValueBytes, 'v');
    m_settings.WriteIni("fileUrl", "t.grf", kib);
    const std::string before = iniText();
    m_settings.WriteIni("fileUrl", "t.grf", kib + "v");
    m_settings.WriteIni("fileUrl", std::string(8u << 20, 'k'), "x");
    EXPECT_EQ(iniText(), before);
    EXPECT_EQ(m_settings.ReadIni("fileUrl", "t.grf"), kib);
}

// Two processes each write 200 distinct keys at the same time: none may be lost, and a reader never
// sees a half-written file.
#ifndef _WIN32 // the writers are forked children
TEST_F(Folder, ConcurrentWritersFromTwoProcessesLoseNothing) {
    constexpr int kKeys = 200;
    auto key = [](int w, int i) { return "w" + std::to_string(w) + "k" + std::to_string(i); };
    pid_t children[2];
    for (int w = 0; w < 2; ++w) {
        children[w] = ::fork();
        if (children[w] == 0) {
            mINI::Settings s(m_dir);
            for (int i = 0; i < kKeys; ++i)
                s.WriteIni("Load", key(w, i), "v" + std::to_string(i));
            ::_exit(0);
        }
    }
    // Meanwhile: every file seen is complete (ends with a line break, the first section intact).
    int torn = 0;
    for (int i = 0; i < 200; ++i) {
        std::string text = iniText();
        if (!text.empty() && (text.back() != '\n' || text.rfind("[Load]", 0) != 0)) ++torn;
    }
    for (pid_t c : children) {
        int status = 0;
        ::waitpid(c, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(torn, 0);
    int lost = 0;
    for (int w = 0; w < 2; ++w)
        for (int i = 0; i < kKeys; ++i)
            lost += m_settings.ReadIni("Load", key(w, i)) != "v" + std::to_string(i);
    EXPECT_EQ(lost, 0);
}
#endif

TEST_F(Folder, LogLinesAreStampedAndAppended) {
    verolux::LogFile log(m_dir);
    log.WriteLog("更新文件：t.grf");
    log.WriteLog("second");
    // "2026/12/6 13:05:09 message\r\n": year/month/day without padding, a 24-hour time.
    const std::string stamp = R"(\d{4}/[1-9]\d?/[1-9]\d? \d{1,2}:\d{2}:\d{2} )";
    const std::string text = verolux::ReadWholeFile(m_dir / "MyLog.txt");
    EXPECT_TRUE(std::regex_match(text, std::regex(stamp + "更新文件：t\\.grf\r\n" + stamp + "second\r\n")))
        << text;
}

// Rotated when a write would pass the limit: the older lines move to MyLog.1.txt, replacing the one
// before; a single entry longer than the limit still gets written whole.
TEST_F(Folder, LogIsRotatedPastItsLimit) {
    const verolux::LogFile log(m_dir, 100); // a stamped line is 20 to 22 bytes longer than its message
    auto log0 = [&] { return verolux::ReadWholeFile(m_dir / "MyLog.txt"); };
    auto log1 = [&] { return verolux::ReadWholeFile(m_dir / "MyLog.1.txt"); };
    log.WriteLog(std::string(50, 'a'));
    log.WriteLog("b");
    EXPECT_FALSE(fs::exists(m_dir / "MyLog.1.txt"));
    log.WriteLog("c"); // 50 + 1 + 1 and three stamps: past 100
    EXPECT_NE(log1().find(std::string(50, 'a')), std::string::npos);
    EXPECT_NE(log1().find(" b\r\n"), std::string::npos);
    EXPECT_EQ(log0().substr(log0().size() - 4), " c\r\n");
    log.WriteLines({std::string(200, 'd'), "e"});
    EXPECT_EQ(log1().substr(log1().size() - 4), " c\r\n");
    EXPECT_NE(log0().find(std::string(200, 'd')), std::string::npos);
}

TEST(LogExcerpt, CutsLongTextsAndNotesTheirSize) {
    EXPECT_EQ(verolux::LogExcerpt("abc", 3), "abc");
    EXPECT_EQ(verolux::LogExcerpt("abcd", 3), "abc... (4 bytes)");
    EXPECT_EQ(verolux::LogExcerpt("a报表", 3), "a... (7 bytes)"); // whole characters only
    const std::string request(100000, 'r');
    EXPECT_EQ(verolux::LogExcerpt(request).size(), verolux::kMaxLoggedRequestBytes + 18);
}

// Temporary files of replacements that nobody holds are left-overs of a killed program.
TEST_F(Folder, StaleTemporariesGoLiveOnesStay) {
    const fs::path report = m_dir / "report";
    fs::create_directories(report);
    for (const fs::path& p : {m_dir / ".MyIni.ini.Ab12Cd", report / ".orders.grf.XyZ123", m_dir / ".keep.txt",
                              m_dir / ".Verolux.12345", report / "orders.grf"})
        verolux::ReplaceFileAtomically(p, "x");
    const verolux::Replacement live = verolux::BeginReplacement(m_dir / "Verolux");
    ASSERT_GE(live.fd, 0);
    EXPECT_EQ(verolux::RemoveStaleTemporaries(m_dir) + verolux::RemoveStaleTemporaries(report), 2);
    EXPECT_FALSE(fs::exists(m_dir / ".MyIni.ini.Ab12Cd"));
    EXPECT_FALSE(fs::exists(report / ".orders.grf.XyZ123"));
    for (const fs::path& p :
         {m_dir / ".keep.txt", m_dir / ".Verolux.12345", report / "orders.grf", fs::path(live.temporary)})
        EXPECT_TRUE(fs::exists(p)) << p;
    EXPECT_TRUE(verolux::CommitReplacement(live, true, m_dir / "Verolux"));
}

#ifdef _WIN32
TEST_F(Folder, AgentLockIsHeldOncePerFolderAndTheWindowFoundByCaption) {
    const std::string caption = verolux::AgentCaption("1.2.3");
    EXPECT_FALSE(verolux::FindAgentWindow(m_dir, caption));
    {
        // A second mutex of the same name in this process stands for another process's.
        verolux::AgentLock agent(m_dir);
        ASSERT_FALSE(agent.PreviousInstance());
        ASSERT_TRUE(agent.held());
        {
            verolux::AgentLock second(m_dir);
            EXPECT_TRUE(second.PreviousInstance());
            EXPECT_FALSE(second.TryAcquire());
        }
        verolux::AgentLock otherFolder(m_dir / "other");
        EXPECT_FALSE(otherFolder.PreviousInstance());
    }
    verolux::AgentLock next(m_dir);
    EXPECT_FALSE(next.PreviousInstance());
    // A hidden top-level window with the caption is what the launcher finds.
    const std::wstring wide = verolux::WideFromUtf8(caption);
    // A window class of the test's own: Wine gave no window of the system's STATIC class here.
    WNDCLASSW kind{};
    kind.lpfnWndProc = ::DefWindowProcW;
    kind.hInstance = ::GetModuleHandleW(nullptr);
    kind.lpszClassName = L"VeroluxTestAgentWindow";
    ASSERT_NE(::RegisterClassW(&kind), 0);
    HWND window = ::CreateWindowExW(0, kind.lpszClassName, wide.c_str(), WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                                    nullptr, nullptr, kind.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(verolux::FindAgentWindow(m_dir, caption));
    EXPECT_FALSE(verolux::FindAgentWindow(m_dir, verolux::AgentCaption("1.2.4")));
    ::DestroyWindow(window);
    EXPECT_FALSE(verolux::FindAgentWindow(m_dir, caption));
}
#else
TEST_F(Folder, AgentLockIsFoundOnlyWhileHeldWithTheCaption) {
    const std::string caption = verolux::AgentCaption("1.2.3");
    EXPECT_EQ(caption, "Web报表服务端 (1.2.3)");
    EXPECT_FALSE(verolux::FindAgentWindow(m_dir, caption)); // no file
    {
        // The lock belongs to the open file, so a second opening in this process stands for another one.
        verolux::AgentLock agent(m_dir);
        ASSERT_FALSE(agent.PreviousInstance());
        ASSERT_TRUE(agent.held());
        agent.PublishCaption(caption);
        EXPECT_TRUE(verolux::FindAgentWindow(m_dir, caption));
        EXPECT_FALSE(verolux::FindAgentWindow(m_dir, verolux::AgentCaption("1.2.4")));
        EXPECT_FALSE(verolux::FindAgentWindow(m_dir, verolux::AgentCaption("")));
        {
            verolux::AgentLock second(m_dir);
            EXPECT_TRUE(second.PreviousInstance());
            EXPECT_FALSE(second.TryAcquire());
        }
        EXPECT_TRUE(verolux::FindAgentWindow(m_dir, caption)); // the probe changed nothing
    }
    // A killed agent leaves its caption in the file but holds no lock: it is gone.
    verolux::ReplaceFileAtomically(m_dir / verolux::kAgentLockFile, caption);
    EXPECT_FALSE(verolux::FindAgentWindow(m_dir, caption));
    verolux::AgentLock next(m_dir);
    EXPECT_FALSE(next.PreviousInstance());
    EXPECT_TRUE(next.held());
}
#endif

} // namespace
