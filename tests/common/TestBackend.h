#pragma once

// Runs the demo backend on a free loopback port for one test and talks to it with the system's own
// HTTP client functions kept out of the way (plain curl easy calls here, so the code under test is
// not used to check itself).

#include <curl/curl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

namespace testsupport {

inline std::string CurlCall(const std::string& method, const std::string& url, const std::string& body = {}) {
    CURL* c = curl_easy_init();
    std::string out;
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, method.c_str());
    if (method == "POST") {
        curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.c_str());
        curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
    }
    curl_easy_setopt(
        c, CURLOPT_WRITEFUNCTION, +[](char* d, size_t s, size_t n, void* u) {
            static_cast<std::string*>(u)->append(d, s * n);
            return s * n;
        });
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &out);
    curl_easy_perform(c);
    curl_easy_cleanup(c);
    return out;
}

// The backend with its own folders under `root` (templates/, uploads/, releases/, web/).
class TestBackend {
  public:
    TestBackend(const std::filesystem::path& executable, const std::filesystem::path& root) : m_root(root) {
        for (const char* d : {"templates", "uploads", "releases", "web"})
            std::filesystem::create_directories(root / d);
        int fds[2];
        if (::pipe(fds) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM); // never outlive a crashed test
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            ::close(fds[1]);
            std::string t = (root / "templates").string(), u = (root / "uploads").string(),
                        r = (root / "releases").string(), w = (root / "web").string();
            ::execl(executable.c_str(), executable.c_str(), "--port", "0", "--templates", t.c_str(),
                    "--uploads", u.c_str(), "--releases", r.c_str(), "--web", w.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        // "listening on http://127.0.0.1:N"
        std::FILE* out = ::fdopen(fds[0], "r");
        char line[512];
        while (out && std::fgets(line, sizeof line, out)) {
            std::string s(line);
            auto at = s.find("http://");
            if (s.find("listening on") != std::string::npos && at != std::string::npos) {
                m_base = s.substr(at);
                while (!m_base.empty() && (m_base.back() == '\n' || m_base.back() == '\r'))
                    m_base.pop_back();
                break;
            }
        }
        m_out = out; // kept open so the backend never writes into a closed pipe
    }
    ~TestBackend() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_out) std::fclose(m_out);
    }
    TestBackend(const TestBackend&) = delete;
    TestBackend& operator=(const TestBackend&) = delete;

    bool ok() const { return !m_base.empty(); }
    const std::string& base() const { return m_base; }
    std::filesystem::path templates() const { return m_root / "templates"; }
    std::filesystem::path releases() const { return m_root / "releases"; }
    std::filesystem::path uploads() const { return m_root / "uploads"; }

    std::string stats() const { return CurlCall("GET", m_base + "/api/stats"); }
    void reset() const { CurlCall("POST", m_base + "/api/reset"); }
    void fail(const std::string& mode, const std::string& path, int count = 1) const {
        CurlCall("POST",
                 m_base + "/api/fail?mode=" + mode + "&path=" + path + "&count=" + std::to_string(count));
    }

  private:
    std::filesystem::path m_root;
    pid_t m_pid = -1;
    std::string m_base;
    std::FILE* m_out = nullptr;
};

} // namespace testsupport
