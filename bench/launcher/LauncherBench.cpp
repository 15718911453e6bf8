// Kestrane from start to exit, 50 runs in a temporary program folder whose WebsUrl points at a
// closed local port (the update check fails at once, so no network time is counted). Two cases:
// the agent found running (nothing started) and the agent file missing (ShellVer written).
// Prints the median and the 90th percentile; target: under 20 ms.
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;
namespace fs = std::filesystem;

namespace {

int ClosedPort() {
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}

double RunOnce(const std::string& kestrane) {
    char* argv[] = {const_cast<char*>(kestrane.c_str()), nullptr};
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (::posix_spawn(&pid, kestrane.c_str(), nullptr, nullptr, argv, environ) != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

void Report(const char* name, std::vector<double> t) {
    std::sort(t.begin(), t.end());
    std::printf("%-34s median %6.2f ms  p90 %6.2f ms  min %6.2f ms  (%zu runs, target < 20 ms)\n", name,
                t[t.size() / 2], t[t.size() * 9 / 10], t.front(), t.size());
}

} // namespace

int main(int argc, char** argv) {
    std::string kestrane = argc > 1 ? argv[1] : (fs::path(argv[0]).parent_path() / "Kestrane").string();
    fs::path dir = fs::temp_directory_path() / ("vx-bench-launcher-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    ::setenv("VEROLUX_HOME", dir.c_str(), 1);
    std::ofstream(dir / "MyIni.ini") << "[AppInfo]\r\nWebsUrl=http://127.0.0.1:" << ClosedPort()
                                     << "\r\nPrintVer=1.0.0\r\n";

    // A running agent: this process holds the lock with the caption.
    int fd = ::open((dir / "Verolux.lock").c_str(), O_RDWR | O_CREAT, 0644);
    ::flock(fd, LOCK_EX);
    const std::string caption = "Web报表服务端 (1.0.0)";
    (void)!::write(fd, caption.data(), caption.size());
    std::vector<double> running;
    for (int i = 0; i < 50; ++i)
        running.push_back(RunOnce(kestrane));
    ::close(fd);
    Report("agent running (found by caption)", running);

    std::vector<double> missing;
    for (int i = 0; i < 50; ++i)
        missing.push_back(RunOnce(kestrane));
    Report("agent file missing (ShellVer)", missing);
    fs::remove_all(dir);
}
