// Crashes on purpose, in the way its first argument names, with the crash
// handler installed to write into the folder its second argument names.
// Only the crash handler's tests run it.
#include "QVCrashSignalHandler.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

void nullWrite()
{
    *static_cast<volatile int*>(nullptr) = 1;
}

// Deep enough to overrun any stack: each frame is read by the next, so none
// can be dropped or reused.
volatile bool gStop = false;
__attribute__((noinline)) int recurse(volatile char* parent)
{
    volatile char frame[1024];
    frame[0] = parent ? char(parent[0] + 1) : 0;
    if (gStop)
        return frame[0];
    return recurse(frame) + frame[1];
}

std::atomic<int> gReady { 0 };

void crashTogether()
{
    ++gReady;
    while (gReady.load() < 2) { }
    nullWrite();
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || !QVCrashSignalHandler::install(argv[2], "quiv", "9.9.9-test")) {
        std::fprintf(stderr, "usage: quiv-crash-trigger MODE FOLDER\n");
        return 2;
    }
    const char* mode = argv[1];
    if (!std::strcmp(mode, "null")) {
        nullWrite();
    } else if (!std::strcmp(mode, "abort")) {
        std::abort();
    } else if (!std::strcmp(mode, "overflow")) {
        return recurse(nullptr);
    } else if (!std::strcmp(mode, "thread")) {
        std::thread(nullWrite).join();
    } else if (!std::strcmp(mode, "twothreads")) {
        std::thread a(crashTogether);
        std::thread b(crashTogether);
        a.join();
        b.join();
    } else if (!std::strcmp(mode, "inside")) {
        QVCrashSignalHandler::setFaultInsideHandlerForTesting(true);
        nullWrite();
    } else if (!std::strcmp(mode, "reinstall")) {
        std::signal(SIGSEGV, SIG_DFL);
        std::signal(SIGABRT, SIG_IGN);
        const int replaced = QVCrashSignalHandler::reinstallIfReplaced();
        return replaced == 2 && QVCrashSignalHandler::isInstalled() ? 0 : 1;
    }
    return 3;
}
