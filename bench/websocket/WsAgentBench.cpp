// bench_ws_agent: the agent's real connection glue (LinkerPool: QTcpServer/QTcpSocket, per-slot
// LinkerSession, action loop) on a Qt event loop, with the print procedure replaced by a counter.
//
//   bench_ws_agent [--port N] [--log DIR]
//
// Prints "listening <port>" once it accepts connections. A text message "bench-start N" starts a
// round; after N further messages every client gets the text frame "done <N> <payload bytes>".
// Without --log the reassembly trace lines are only counted; with it they go to DIR/MyLog.txt
// through the agent's log file writer, as in the running agent.
#include "agent/desktop/LinkerPool.h"
#include "agent/websocket/Frame.h"
#include "common/LogFile.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace {

constexpr std::string_view kStart = "bench-start ";

struct Round {
    long long target = -1;
    long long count = 0;
    long long bytes = 0;
    long long traceLines = 0;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    quint16 port = 0;
    std::optional<verolux::LogFile> logFile;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--port") == 0)
            port = quint16(std::atoi(argv[i + 1]));
        else if (std::strcmp(argv[i], "--log") == 0)
            logFile.emplace(argv[i + 1]);
    }

    Round round;
    verolux::LinkerPool* pool = nullptr;
    verolux::LinkerPool::Hooks hooks;
    hooks.addLog = [](const QString&) {};
    hooks.writeLog = [&](const std::vector<std::string_view>& lines) {
        round.traceLines += static_cast<long long>(lines.size());
        if (logFile) logFile->WriteLines(lines);
    };
    hooks.connectedCountChanged = [](int) {};
    hooks.deliver = [&](const std::string& text) {
        if (text.compare(0, kStart.size(), kStart) == 0) {
            round = Round{};
            round.target = std::atoll(text.c_str() + kStart.size());
            return;
        }
        ++round.count;
        round.bytes += static_cast<long long>(text.size());
        if (round.count == round.target) {
            std::string done = "done " + std::to_string(round.count) + ' ' + std::to_string(round.bytes);
            std::fprintf(stderr, "round: %lld messages, %lld bytes, %lld trace lines\n", round.count,
                         round.bytes, round.traceLines);
            round.target = -1;
            pool->Broadcast(mWSProtocol::PackString(std::string_view(done), 1));
        }
    };

    verolux::LinkerPool linkers(std::move(hooks));
    pool = &linkers;
    QString error;
    if (!linkers.StartListening(port, false, &error)) {
        std::fprintf(stderr, "cannot listen: %s\n", error.toStdString().c_str());
        return 1;
    }
    std::printf("listening %u\n", unsigned(linkers.listeningPort()));
    std::fflush(stdout);
    return app.exec();
}
