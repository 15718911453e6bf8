#pragma once

// A loopback HTTP server that answers each connection with the next canned reply, byte for byte,
// and keeps the raw requests it got: for tests of how the client behaves on answers a real server
// would rarely give (cut bodies, redirects to other schemes). With bytesPerTick it trickles each reply,
// that many bytes every 100 ms, until the client goes away.

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

#ifdef _WIN32
using Socket = SOCKET;
using SockLen = int;
inline void CloseSocket(Socket s) {
    ::closesocket(s);
}
constexpr int kShutBoth = SD_BOTH, kShutWrite = SD_SEND, kNoSignal = 0;
// A send or receive that waits this long gives the connection up.
inline void LimitWaits(Socket s, int seconds) {
    const DWORD ms = seconds * 1000;
    ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
}
#else
using Socket = int;
using SockLen = socklen_t;
inline void CloseSocket(Socket s) {
    ::close(s);
}
constexpr int kShutBoth = SHUT_RDWR, kShutWrite = SHUT_WR, kNoSignal = MSG_NOSIGNAL;
inline void LimitWaits(Socket s, int seconds) {
    const timeval tv{seconds, 0};
    ::setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}
#endif

// A whole HTTP/1.1 answer with its length announced.
inline std::string HttpReply(const std::string& status, const std::string& body,
                             const std::string& extraHeaders = "") {
    return "HTTP/1.1 " + status + "\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body;
}

class CannedServer {
  public:
    explicit CannedServer(std::vector<std::string> replies, std::size_t bytesPerTick = 0)
        : m_replies(std::move(replies)), m_bytesPerTick(bytesPerTick) {
#ifdef _WIN32
        WSADATA wsa;
        ::WSAStartup(MAKEWORD(2, 2), &wsa); // counted: one per server, undone in the destructor
#endif
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        SockLen len = sizeof addr;
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        ::listen(m_listen, 8);
        m_thread = std::thread([this] { serve(); });
    }
    ~CannedServer() {
        m_stop = true;
        ::shutdown(m_listen, kShutBoth);
        CloseSocket(m_listen);
        m_thread.join();
#ifdef _WIN32
        ::WSACleanup();
#endif
    }

    std::string url(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(m_port) + path;
    }
    // The address of a port that just closed: connecting fails at once.
    static std::string closedUrl(const std::string& path = "/") {
        return CannedServer({}).url(path);
    }
    std::vector<std::string> requests() const {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

  private:
    void serve() {
        for (const std::string& reply : m_replies) {
            const Socket fd = ::accept(m_listen, nullptr, nullptr);
            if (fd == static_cast<Socket>(-1)) return;
            // Under Wine a blocking send to a client that has gone away can wait for ever, and with
            // it every later connection: nothing here waits for a client longer than a test would.
            LimitWaits(fd, 10);
            std::string request = readRequest(fd);
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(request);
            }
            std::size_t sent = 0;
            while (sent < reply.size() && !m_stop) {
                const std::size_t part =
                    m_bytesPerTick ? std::min(m_bytesPerTick, reply.size() - sent) : reply.size() - sent;
                const auto n = ::send(fd, reply.data() + sent, static_cast<int>(part), kNoSignal);
                if (n <= 0) break;
                sent += static_cast<std::size_t>(n);
                if (m_bytesPerTick) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            ::shutdown(fd, kShutWrite);
            char sink[256];
            while (::recv(fd, sink, sizeof sink, 0) > 0) {
            }
            CloseSocket(fd);
        }
    }

    // Head plus as much body as Content-Length announces.
    static std::string readRequest(Socket fd) {
        std::string data;
        char buf[4096];
        std::size_t need = std::string::npos;
        while (data.size() < need) {
            const auto n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            data.append(buf, static_cast<std::size_t>(n));
            auto headEnd = data.find("\r\n\r\n");
            if (need == std::string::npos && headEnd != std::string::npos) {
                std::size_t length = 0;
                auto at = data.find("Content-Length: ");
                if (at != std::string::npos && at < headEnd) length = std::stoul(data.substr(at + 16));
                need = headEnd + 4 + length;
            }
        }
        return data;
    }

    std::vector<std::string> m_replies;
    std::size_t m_bytesPerTick;
    std::atomic<bool> m_stop{false};
    Socket m_listen = static_cast<Socket>(-1);
    int m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<std::string> m_requests;
};

} // namespace testsupport
