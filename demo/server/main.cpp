// quiv-demo-service: a local stand-in for the Quiv service.
#include "QVDemoServer.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

constexpr int usageError = 2;

int usage(const char* message)
{
    if (message)
        std::fprintf(stderr, "quiv-demo-service: %s\n", message);
    std::fprintf(stderr,
        "usage: quiv-demo-service [--port N] [--root DIR]\n"
        "  --port N    port on 127.0.0.1 (default 8000; 0 takes a free port)\n"
        "  --root DIR  the web application's folder (default %s)\n",
        QUIV_DEMO_DEFAULT_ROOT);
    return usageError;
}

bool parsePort(const std::string& text, int& port)
{
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    port = std::stoi(text);
    return port <= 65535;
}

} // namespace

int main(int argc, char** argv)
{
    int port = 8000;
    std::string root = QUIV_DEMO_DEFAULT_ROOT;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string value;
        std::string name = arg;
        if (const size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        } else if (arg == "--port" || arg == "--root") {
            if (i + 1 >= argc)
                return usage((arg + " needs a value").c_str());
            value = argv[++i];
        }
        if (name == "--help" || name == "-h") {
            usage(nullptr);
            return 0;
        } else if (name == "--port") {
            if (!parsePort(value, port))
                return usage(("bad port: " + value).c_str());
        } else if (name == "--root") {
            root = value;
        } else {
            return usage(("unknown argument: " + arg).c_str());
        }
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(root) / "index.html", error))
        return usage(("no index.html in the web root " + root).c_str());

    // Signals are taken by sigwait below, never by a handler: every thread the
    // server starts inherits this mask.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    QVDemoServer server(root, QUIV_JQUERY_PATH);
    const int bound = server.bind(port);
    if (bound < 0) {
        std::fprintf(
            stderr, "quiv-demo-service: cannot listen on 127.0.0.1:%d: %s\n", port, std::strerror(errno));
        return 1;
    }
    std::printf("listening on 127.0.0.1:%d\n", bound);
    std::fflush(stdout);

    std::atomic<bool> served = true;
    std::atomic<bool> finished = false;
    std::thread serving([&] {
        served = server.run();
        finished = true;
        // Wake the main thread if the server stops on its own.
        kill(getpid(), SIGUSR1);
    });
    int signal = 0;
    sigwait(&signals, &signal);
    // A signal can come before the server loop has started, when stop() would
    // do nothing: repeat it until the loop has ended.
    while (!finished) {
        server.stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    serving.join();
    if (!served && signal == SIGUSR1) {
        std::fprintf(stderr, "quiv-demo-service: the server stopped unexpectedly\n");
        return 1;
    }
    return 0;
}
