#include "demo/backend/BackendOptions.h"
#include "demo/backend/DemoServer.h"

#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>

#ifndef VEROLUX_DEMO_DIR
#define VEROLUX_DEMO_DIR "demo"
#endif

int main(int argc, char** argv) {
    auto parsed = demo::parseOptions(argc, argv, VEROLUX_DEMO_DIR);
    if (!parsed.options) {
        std::fputs(demo::usageText().c_str(), parsed.error.empty() ? stdout : stderr);
        if (!parsed.error.empty()) std::fprintf(stderr, "%s\n", parsed.error.c_str());
        return parsed.error.empty() ? 0 : 2;
    }

    // A client that hangs up must not kill the server; termination is taken by one waiting thread
    // so stop() runs outside a signal handler.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    demo::DemoServer server(*parsed.options);
    std::string error;
    if (!server.bind(error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    std::thread stopper([&] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        std::fprintf(stderr, "stopping on signal %d\n", signal);
        server.stop();
    });
    stopper.detach();

    std::printf("listening on %s\n", server.baseUrl().c_str());
    std::fflush(stdout);
    server.run();
    return 0;
}
