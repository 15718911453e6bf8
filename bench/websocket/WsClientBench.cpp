// bench_ws_client: pushes pre-built masked text frames through a loopback socket into a WebSocket
// server that counts messages (bench_ws_agent or ws_server.js) and times the round until the
// server's "done <messages> <bytes>" frame arrives.
//
//   bench_ws_client --port N --workload big|small [--count C] [--size BYTES] [--repeat R] [--label L]
//
// big: C (64) messages of BYTES (4 MiB); small: C (100000) messages of BYTES (100).
// Prints one line per round and "RESULT <label> <workload> <messages> <bytes> <best seconds>".
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

struct Options {
    int port = 0;
    std::string workload = "big";
    long count = 0;
    std::size_t size = 0;
    int repeat = 3;
    std::string label = "server";
};

[[noreturn]] void die(const std::string& why) {
    std::fprintf(stderr, "bench_ws_client: %s\n", why.c_str());
    std::exit(1);
}

// A masked client text frame, FIN set.
std::string maskedFrame(std::string_view payload, std::uint32_t seed) {
    std::string f;
    f.reserve(payload.size() + 14);
    f.push_back(char(0x81));
    const std::uint64_t n = payload.size();
    if (n <= 125) {
        f.push_back(char(0x80 | n));
    } else if (n <= 0xFFFF) {
        f.push_back(char(0x80 | 126));
        f.push_back(char(n >> 8));
        f.push_back(char(n & 0xFF));
    } else {
        f.push_back(char(0x80 | 127));
        for (int shift = 56; shift >= 0; shift -= 8)
            f.push_back(char((n >> shift) & 0xFF));
    }
    const unsigned char key[4] = {static_cast<unsigned char>(0x5A ^ seed),
                                  static_cast<unsigned char>(seed >> 8),
                                  static_cast<unsigned char>(0xC3 ^ (seed >> 16)), 0x7E};
    f.append(reinterpret_cast<const char*>(key), 4);
    const std::size_t start = f.size();
    f.append(payload);
    for (std::size_t i = 0; i < payload.size(); ++i)
        f[start + i] = char(static_cast<unsigned char>(f[start + i]) ^ key[i & 3]);
    return f;
}

// Text shaped like print request rows, Chinese included, cut to exactly size bytes on a
// character boundary (padded with ASCII).
std::string requestLikeText(std::size_t size, long serial) {
    static const std::string row = R"({"name":"张三","dept":"财务部","amount":"1234.50","memo":"月结单据"},)";
    std::string s = "{\"serial\":" + std::to_string(serial) + ",\"repdata\":[";
    while (s.size() + row.size() <= size)
        s += row;
    s.append(size - std::min(size, s.size()), ' ');
    s.resize(size);
    return s;
}

int connectAndUpgrade(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) die("socket");
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(std::uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        die("connect: " + std::string(std::strerror(errno)));
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::string req = "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                      "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                      "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
    if (::send(fd, req.data(), req.size(), MSG_NOSIGNAL) != ssize_t(req.size())) die("send handshake");
    std::string resp;
    char buf[4096];
    while (resp.find("\r\n\r\n") == std::string::npos) {
        ssize_t got = ::recv(fd, buf, sizeof buf, 0);
        if (got <= 0) die("handshake answer");
        resp.append(buf, size_t(got));
    }
    if (resp.compare(0, 12, "HTTP/1.1 101") != 0) die("no 101 answer: " + resp.substr(0, resp.find("\r\n")));
    if (resp.size() != resp.find("\r\n\r\n") + 4) die("unexpected bytes after the handshake answer");
    return fd;
}

struct Round {
    double seconds;
    std::string done;
};

// Writes every segment in order while reading, until the server's text frame arrives.
Round blast(int port, const std::vector<std::string_view>& segments) {
    int fd = connectAndUpgrade(port);
    std::string in;
    std::size_t seg = 0, off = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (;;) {
        pollfd p{fd, short(POLLIN | (seg < segments.size() ? POLLOUT : 0)), 0};
        if (::poll(&p, 1, 60000) <= 0) die("timed out");
        if (p.revents & POLLIN) {
            char buf[65536];
            ssize_t got = ::recv(fd, buf, sizeof buf, 0);
            if (got <= 0) die("server closed the connection");
            in.append(buf, size_t(got));
            if (in.size() >= 2) {
                const std::size_t n = static_cast<unsigned char>(in[1]) & 0x7F; // short answers only
                if (n > 125) die("unexpected long frame from the server");
                if (in.size() >= 2 + n) {
                    const auto t1 = std::chrono::steady_clock::now();
                    ::close(fd);
                    return {std::chrono::duration<double>(t1 - t0).count(), in.substr(2, n)};
                }
            }
        }
        if ((p.revents & POLLOUT) && seg < segments.size()) {
            const std::string_view s = segments[seg];
            ssize_t put = ::send(fd, s.data() + off, std::min<std::size_t>(s.size() - off, 1 << 20),
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
            if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                die("send: " + std::string(std::strerror(errno)));
            if (put > 0 && (off += size_t(put)) == s.size()) {
                ++seg;
                off = 0;
            }
        }
        if (p.revents & (POLLERR | POLLHUP)) die("connection error");
    }
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string k = argv[i], v = argv[i + 1];
        if (k == "--port")
            o.port = std::atoi(v.c_str());
        else if (k == "--workload")
            o.workload = v;
        else if (k == "--count")
            o.count = std::atol(v.c_str());
        else if (k == "--size")
            o.size = std::size_t(std::atoll(v.c_str()));
        else if (k == "--repeat")
            o.repeat = std::atoi(v.c_str());
        else if (k == "--label")
            o.label = v;
        else
            die("unknown option " + k);
    }
    const bool big = o.workload == "big";
    if (!big && o.workload != "small") die("workload is big or small");
    if (o.count <= 0) o.count = big ? 64 : 100000;
    if (o.size == 0) o.size = big ? std::size_t(4) << 20 : 100;
    if (o.port <= 0) die("--port is required");
    return o;
}

} // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    const bool big = o.workload == "big";

    // Frames are built before the clock starts: the client costs nothing but send().
    const std::string start = maskedFrame("bench-start " + std::to_string(o.count), 1);
    std::vector<std::string> frames;
    std::string smallStream;
    std::vector<std::string_view> segments{start};
    if (big) {
        // A few distinct messages sent in turn, so no server can profit from one repeated buffer.
        for (long i = 0; i < std::min<long>(o.count, 4); ++i)
            frames.push_back(maskedFrame(requestLikeText(o.size, i), std::uint32_t(i * 2654435761u)));
        for (long i = 0; i < o.count; ++i)
            segments.push_back(frames[size_t(i) % frames.size()]);
    } else {
        smallStream.reserve(size_t(o.count) * (o.size + 8));
        for (long i = 0; i < o.count; ++i)
            smallStream += maskedFrame(requestLikeText(o.size, i), std::uint32_t(i * 2654435761u));
        segments.push_back(smallStream);
    }
    const double payload = double(o.count) * double(o.size);
    const std::string expected =
        "done " + std::to_string(o.count) + ' ' + std::to_string((long long)(payload));

    std::vector<double> times;
    for (int r = 0; r < o.repeat; ++r) {
        // The agent sends its answer to every connected client, handshaken or not (see the client
        // tests): let it finish the last round's answer before the next connection comes.
        if (r > 0) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Round round = blast(o.port, segments);
        if (round.done != expected)
            die("server answered \"" + round.done + "\", expected \"" + expected + "\"");
        times.push_back(round.seconds);
        std::printf("%-8s %-5s round %d: %ld messages, %.1f MB in %.3f s: %8.1f MB/s %10.0f messages/s\n",
                    o.label.c_str(), o.workload.c_str(), r + 1, o.count, payload / 1e6, round.seconds,
                    payload / 1e6 / round.seconds, double(o.count) / round.seconds);
        std::fflush(stdout);
    }
    std::sort(times.begin(), times.end());
    std::printf("RESULT %s %s %ld %.0f %.6f\n", o.label.c_str(), o.workload.c_str(), o.count, payload,
                times.front());
    return 0;
}
