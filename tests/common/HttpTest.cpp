#include "tests/common/CannedServer.h"
#include "tests/common/TempFolder.h"

#include "common/Http.h"
#include "common/SafeNames.h"
#include "common/TextFile.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <atomic>
#include <chrono>
#include <fstream>
#include <thread>

using testsupport::CannedServer;
using testsupport::HttpReply;
namespace fs = std::filesystem;

namespace {

class HttpTest : public ::testing::Test {
  protected:
    void SetUp() override { m_dir = testsupport::FreshTempFolder("vx-http"); }
    void TearDown() override { fs::remove_all(m_dir); }
    fs::path file(const char* name, const char* content = nullptr) {
        if (content) std::ofstream(m_dir / name, std::ios::binary) << content;
        return m_dir / name;
    }
    static int Mode(const fs::path& p) { return static_cast<int>(fs::status(p).permissions()); }
    // The names in the folder: no temporary file may stay behind.
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (auto& e : fs::directory_iterator(m_dir))
            out.push_back(e.path().filename().string());
        return out;
    }
    fs::path m_dir;
};

TEST_F(HttpTest, PostSendsTheOneHeaderAndUtf8Body) {
    CannedServer server({HttpReply("500 Internal Server Error", "{\"ver\":\"\"}")});
    std::string answer =
        verolux::PostJson(server.url("/basedata/v1/update/getLastUpdate/1※1.0.0"), "{\"a\":\"中\"}");
    EXPECT_EQ(answer, "{\"ver\":\"\"}"); // an error status is still an answer
    auto req = server.requests().at(0);
    EXPECT_EQ(req.rfind("POST /basedata/v1/update/getLastUpdate/1%E2%80%BB1.0.0 HTTP/1.1\r\n", 0), 0u) << req;
    EXPECT_NE(req.find("\r\nContent-Type: application/json; charset=UTF-8\r\n"), std::string::npos) << req;
    EXPECT_EQ(req.find("Expect:"), std::string::npos) << req;
    EXPECT_EQ(req.find("Accept:"), std::string::npos) << req;
    EXPECT_EQ(req.substr(req.find("\r\n\r\n") + 4), "{\"a\":\"中\"}");
}

// A caller's headers go after the agent's own, on the POST and the GET alike; an empty value as such.
TEST_F(HttpTest, CallerHeadersGoWithTheRequest) {
    const std::vector<std::string> extra = {"Authorization: Bearer t0k", "X-Empty;"};
    CannedServer server({HttpReply("200 OK", "{}"), HttpReply("200 OK", "body")});
    long status = 0;
    verolux::PostJson(server.url("/up"), "{}", 0, {}, &status, extra);
    EXPECT_TRUE(verolux::DownloadToFile(server.url("/t.grf"), file("t.grf"), 100, false, {}, {}, extra));
    for (const std::string& req : server.requests()) {
        EXPECT_NE(req.find("\r\nAuthorization: Bearer t0k\r\nX-Empty:\r\n"), std::string::npos) << req;
    }
    EXPECT_NE(server.requests().at(0).find("charset=UTF-8\r\nAuthorization"), std::string::npos);
}

TEST_F(HttpTest, PostToClosedPortThrows) {
    EXPECT_THROW(verolux::PostJson(CannedServer::closedUrl("/x"), "{}"), verolux::HttpError);
    EXPECT_THROW(verolux::PostJson("http://no-such-host.invalid/x", "{}"), verolux::HttpError);
    EXPECT_THROW(verolux::PostJson("file:///etc/passwd", "{}"), verolux::HttpError);
}

// Each failure leaves the old file: an error status, a body cut short, a redirect to another scheme,
// a body past the limit whether its length is announced or not.
TEST_F(HttpTest, DownloadReplacesOnlyAfterCompleteSuccess) {
    const fs::path target = file("t.grf", "old");
    CannedServer moved({HttpReply("200 OK", "new content")});
    const std::vector<std::string> failures = {
        HttpReply("404 Not Found", "<html>not found</html>"),
        "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nConnection: close\r\n\r\nnew",
        HttpReply("302 Found", "", "Location: file:///etc/passwd\r\n"),
        HttpReply("200 OK", std::string(21, 'x')),
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n15\r\n" +
            std::string(21, 'x') + "\r\n0\r\n\r\n",
    };
    std::vector<std::string> replies = failures;
    replies.push_back(HttpReply("301 Moved Permanently", "", "Location: " + moved.url("/x") + "\r\n"));
    CannedServer server(replies);
    for (const auto& reply : failures) {
        EXPECT_FALSE(verolux::DownloadToFile(server.url("/t.grf"), target, 20)) << reply;
        EXPECT_EQ(verolux::ReadWholeFile(target), "old");
    }
    EXPECT_TRUE(verolux::DownloadToFile(server.url("/t.grf"), target, 20));
    EXPECT_EQ(verolux::ReadWholeFile(target), "new content");
    EXPECT_EQ(names(), std::vector<std::string>{"t.grf"});
}

TEST_F(HttpTest, DownloadRefusesOtherSchemesMissingFoldersAndWhatAcceptRefuses) {
    EXPECT_FALSE(verolux::DownloadToFile("file:///etc/hostname", file("h"), 100));
    EXPECT_FALSE(verolux::DownloadToFile("ftp://127.0.0.1/x", file("h"), 100));
    EXPECT_FALSE(fs::exists(file("h")));
    CannedServer server({HttpReply("200 OK", "x"), HttpReply("200 OK", "refused")});
    EXPECT_FALSE(verolux::DownloadToFile(server.url("/x"), m_dir / "no-such-folder" / "x", 100));
    EXPECT_FALSE(verolux::DownloadToFile(server.url("/x"), file("h"), 100, false, [](int) { return false; }));
    EXPECT_TRUE(names().empty());
}

#ifndef _WIN32 // Windows files have no mode bits
TEST_F(HttpTest, DownloadKeepsOrGrantsRunPermission) {
    CannedServer server({HttpReply("200 OK", "#!/bin/sh\n"), HttpReply("200 OK", "#!/bin/sh\n"),
                         HttpReply("200 OK", "data")});
    fs::path existing = file("Verolux", "old");
    ::chmod(existing.c_str(), 0750);
    EXPECT_TRUE(verolux::DownloadToFile(server.url("/a"), existing, 100, true));
    EXPECT_EQ(Mode(existing), 0750);
    EXPECT_TRUE(verolux::DownloadToFile(server.url("/b"), file("Kestrane"), 100, true));
    EXPECT_EQ(Mode(file("Kestrane")), 0755);
    EXPECT_TRUE(verolux::DownloadToFile(server.url("/c"), file("plain.grf"), 100, false));
    EXPECT_EQ(Mode(file("plain.grf")), 0644);
}
#endif

// A 1 GB answer is read only as far as the caller needs; the rest never crosses the wire.
TEST_F(HttpTest, AnswerIsReadOnlyUpToItsLimit) {
    const std::string huge =
        "HTTP/1.1 200 OK\r\nContent-Length: 1000000000\r\n\r\n" + std::string(2 << 20, 'a');
    CannedServer server({huge, huge});
    EXPECT_EQ(verolux::PostJson(server.url("/upload"), "{}", 1024), std::string(1024, 'a'));
    EXPECT_EQ(verolux::PostJson(server.url("/upload"), "{}", 0), "");
}

// Under 1 KiB/s for the slow time, or past the total time, fails; short times keep the test quick.
TEST_F(HttpTest, SlowOrEndlessTransfersFail) {
    const verolux::TransferPace pace{1024, 2, 3};
    const std::string body(1 << 20, 'b');
    const std::string reply = HttpReply("200 OK", body);
    const std::pair<const char*, std::size_t> paces[] = {{"200 B/s", 20}, {"40 KiB/s, 25 s in all", 4096}};
    for (const auto& [name, bytesPerTick] : paces) { // bytes every 100 ms
        CannedServer server({reply, reply}, bytesPerTick);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(
            verolux::DownloadToFile(server.url("/t.grf"), file("t.grf"), body.size(), false, {}, pace))
            << name;
        EXPECT_THROW(verolux::PostJson(server.url("/upload"), "{}", body.size(), pace), verolux::HttpError)
            << name;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15)) << name;
    }
    EXPECT_TRUE(names().empty());
}

// Exit must not wait for a slow template: the abort flag, set from another thread while the body
// trickles in, ends the download and the old file stays; a POST aborted from the start never goes.
TEST_F(HttpTest, AbortEndsATransfer) {
    const std::string reply = HttpReply("200 OK", std::string(1 << 20, 'b'));
    CannedServer server({reply, reply}, 20);
    std::atomic<bool> abort{false};
    verolux::TransferPace pace;
    pace.abort = &abort;
    std::thread stopper([&] {
        while (names().size() < 2) // the temporary file beside t.grf: the transfer is under way
            std::this_thread::yield();
        abort = true;
    });
    EXPECT_FALSE(
        verolux::DownloadToFile(server.url("/t.grf"), file("t.grf", "old"), 1 << 20, false, {}, pace));
    stopper.join();
    EXPECT_EQ(verolux::ReadWholeFile(file("t.grf")), "old");
    EXPECT_EQ(names().size(), 1u);
    EXPECT_THROW(verolux::PostJson(server.url("/upload"), "{}", 0, pace), verolux::HttpError);
}

TEST(WireUrl, NonAsciiIsPercentEncoded) {
    EXPECT_EQ(verolux::EncodeUrlForWire("http://h/a※b c?x=%41"), "http://h/a%E2%80%BBb%20c?x=%41");
    EXPECT_EQ(verolux::EncodeUrlForWire("http://h/报表.grf"), "http://h/%E6%8A%A5%E8%A1%A8.grf");
}

TEST(SafeNames, PlainFileNames) {
    for (const char* plain : {"report.grf", "报表 1.grf", "a..b.grf", "Verolux"})
        EXPECT_TRUE(verolux::IsPlainFileName(plain)) << plain;
    for (const char* other :
         {"", ".", "..", "../x", "a/b", "a\\b", "C:x.grf", "/abs", "\\\\server\\x", "tab\tname", "del\x7f"})
        EXPECT_FALSE(verolux::IsPlainFileName(other)) << '"' << other << '"';
}

TEST(SafeNames, HttpUrls) {
    for (const char* good : {"http://h/x", "https://h:1/x?y", "HTTP://H/", "https://127.0.0.1"})
        EXPECT_TRUE(verolux::IsHttpUrl(good)) << good;
    for (const char* bad : {"", "http://", "https:///x", "file:///etc/passwd", "ftp://h/x", "//h/x", "h/x",
                            "javascript:alert(1)", "http://h/\n"})
        EXPECT_FALSE(verolux::IsHttpUrl(bad)) << bad;
}

} // namespace
