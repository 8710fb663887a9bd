#include "QVCrashSignalHandler.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <execinfo.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

const int QVCrashSignalHandler::kSignals[kSignalCount] = { SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGSYS };

namespace {

// Room for the backtrace and the handler's frames even after a stack overflow.
constexpr size_t kAlternateStackSize = 256 * 1024;
constexpr int kMaximumFrames = 128;
// A hang (in the dynamic loader, say) ends the process after this long.
constexpr unsigned kHandlerAlarmSeconds = 5;

// Prepared at install, read by the handler. Fixed buffers: the handler must
// not allocate.
char gPathPrefix[QVCrashSignalHandler::kMaximumPathLength + 64];
char gVersion[QVCrashSignalHandler::kMaximumVersionLength + 1];
void* gAlternateStack = nullptr;
std::atomic<bool> gInstalled { false };
std::atomic<bool> gHandling { false };
std::atomic<bool> gFaultInsideHandler { false };

// A text buffer on the handler's stack, room for the longest path.
struct Line {
    char text[QVCrashSignalHandler::kMaximumPathLength + 256];
    size_t length = 0;

    void add(const char* s)
    {
        while (*s && length < sizeof text)
            text[length++] = *s++;
    }
    void add(char c)
    {
        if (length < sizeof text)
            text[length++] = c;
    }
    void addNumber(uint64_t value, unsigned base = 10, int minimumDigits = 1)
    {
        char digits[24];
        int count = 0;
        do {
            digits[count++] = "0123456789abcdef"[value % base];
            value /= base;
        } while (value != 0 && count < 24);
        while (count < minimumDigits && count < 24)
            digits[count++] = '0';
        while (count > 0)
            add(digits[--count]);
    }
};

void writeAll(int fd, const char* data, size_t length)
{
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        data += written;
        length -= size_t(written);
    }
}

void writeLine(int fd, const Line& line)
{
    writeAll(fd, line.text, line.length);
}

const char* signalName(int signal)
{
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGILL:
        return "SIGILL";
    case SIGFPE:
        return "SIGFPE";
    case SIGABRT:
        return "SIGABRT";
    case SIGSYS:
        return "SIGSYS";
    default:
        return "signal";
    }
}

// UTC calendar fields from seconds since the epoch, by integer arithmetic
// (localtime and gmtime are not safe here). Days to civil date after
// Howard Hinnant's algorithm.
struct CivilTime {
    int64_t year;
    unsigned month, day, hour, minute, second;
};

CivilTime civilTime(int64_t seconds)
{
    int64_t days = seconds / 86400;
    int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = unsigned(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
    CivilTime time;
    time.day = dayOfYear - (153 * monthIndex + 2) / 5 + 1;
    time.month = monthIndex < 10 ? monthIndex + 3 : monthIndex - 9;
    time.year = int64_t(yearOfEra) + era * 400 + (time.month <= 2 ? 1 : 0);
    time.hour = unsigned(rest / 3600);
    time.minute = unsigned(rest / 60 % 60);
    time.second = unsigned(rest % 60);
    return time;
}

void copyMaps(int fd)
{
    const int maps = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (maps < 0)
        return;
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(maps, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        writeAll(fd, buffer, size_t(count));
    }
    ::close(maps);
}

void writeLog(int signal, const siginfo_t* info)
{
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const CivilTime time = civilTime(int64_t(now.tv_sec));

    Line path;
    path.add(gPathPrefix);
    path.add('-');
    path.addNumber(uint64_t(time.year), 10, 4);
    path.addNumber(time.month, 10, 2);
    path.addNumber(time.day, 10, 2);
    path.add('-');
    path.addNumber(time.hour, 10, 2);
    path.addNumber(time.minute, 10, 2);
    path.addNumber(time.second, 10, 2);
    path.add('-');
    path.addNumber(uint64_t(::getpid()));
    path.add(".crash");
    if (path.length >= sizeof path.text)
        return;
    path.text[path.length] = '\0';
    const int fd = ::open(path.text, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return;

    Line head;
    head.add("Quiv crashed\nSignal: ");
    head.add(signalName(signal));
    head.add(" (");
    head.addNumber(uint64_t(signal));
    head.add(")\nFault address: 0x");
    head.addNumber(uint64_t(reinterpret_cast<uintptr_t>(info ? info->si_addr : nullptr)), 16);
    head.add("\nTime: ");
    head.addNumber(uint64_t(time.year), 10, 4);
    head.add('-');
    head.addNumber(time.month, 10, 2);
    head.add('-');
    head.addNumber(time.day, 10, 2);
    head.add(' ');
    head.addNumber(time.hour, 10, 2);
    head.add(':');
    head.addNumber(time.minute, 10, 2);
    head.add(':');
    head.addNumber(time.second, 10, 2);
    head.add(" UTC\nVersion: ");
    head.add(gVersion);
    head.add("\nThread: ");
    head.addNumber(uint64_t(::syscall(SYS_gettid)));
    head.add("\n\nBacktrace:\n");
    writeLine(fd, head);

    if (gFaultInsideHandler.load()) {
        ::fsync(fd);
        *static_cast<volatile int*>(nullptr) = 1;
    }

    void* frames[kMaximumFrames];
    const int count = ::backtrace(frames, kMaximumFrames);
    ::backtrace_symbols_fd(frames, count, fd);
    static const char mapsTitle[] = "\nMemory map:\n";
    writeAll(fd, mapsTitle, sizeof mapsTitle - 1);
    copyMaps(fd);
    ::close(fd);
}

void resetToDefault()
{
    struct sigaction action {
    };
    action.sa_handler = SIG_DFL;
    ::sigemptyset(&action.sa_mask);
    for (int signal : QVCrashSignalHandler::kSignals)
        ::sigaction(signal, &action, nullptr);
}

void onFatalSignal(int signal, siginfo_t* info, void*)
{
    const int savedErrno = errno;
    // One log: a second thread that crashes meanwhile waits for the end.
    bool expected = false;
    if (!gHandling.compare_exchange_strong(expected, true)) {
        for (;;)
            ::pause();
    }
    // A fault from here on ends the process at once.
    resetToDefault();
    ::alarm(kHandlerAlarmSeconds);
    writeLog(signal, info);
    errno = savedErrno;
    // Delivered when the handler returns (the signal is blocked until then);
    // a fault re-raises itself by repeating the instruction anyway.
    ::raise(signal);
}

bool makeDirectories(const char* directory)
{
    char path[QVCrashSignalHandler::kMaximumPathLength + 1];
    size_t length = 0;
    while (directory[length] && length < sizeof path - 1) {
        path[length] = directory[length];
        ++length;
    }
    if (directory[length] != '\0' || length == 0 || path[0] != '/')
        return false;
    path[length] = '\0';
    for (size_t i = 1; i <= length; ++i) {
        if (path[i] != '/' && path[i] != '\0')
            continue;
        const char saved = path[i];
        path[i] = '\0';
        if (::mkdir(path, 0700) != 0 && errno != EEXIST)
            return false;
        path[i] = saved;
    }
    struct stat info {
    };
    if (::stat(path, &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    // Crash logs hold addresses and memory maps: the owner's eyes only.
    return (info.st_mode & 0777) == 0700 || ::chmod(path, 0700) == 0;
}

bool installHandlers(bool onlyReplaced, int* replaced)
{
    struct sigaction action {
    };
    action.sa_sigaction = onFatalSignal;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    bool ok = true;
    for (int signal : QVCrashSignalHandler::kSignals) {
        if (onlyReplaced) {
            struct sigaction current {
            };
            if (::sigaction(signal, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO)
                && current.sa_sigaction == onFatalSignal)
                continue;
            ++*replaced;
        }
        ok = ::sigaction(signal, &action, nullptr) == 0 && ok;
    }
    return ok;
}

} // namespace

bool QVCrashSignalHandler::install(const char* directory, const char* prefix, const char* version)
{
    if (!directory || !prefix || !version || !makeDirectories(directory))
        return false;
    size_t length = 0;
    for (const char* part : { directory, "/", prefix }) {
        while (*part && length < sizeof gPathPrefix - 1)
            gPathPrefix[length++] = *part++;
    }
    gPathPrefix[length] = '\0';
    size_t versionLength = 0;
    while (version[versionLength] && versionLength < size_t(kMaximumVersionLength)) {
        gVersion[versionLength] = version[versionLength];
        ++versionLength;
    }
    gVersion[versionLength] = '\0';

    // The stack a stack overflow leaves no room on.
    if (!gAlternateStack) {
        void* stack = ::mmap(
            nullptr, kAlternateStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (stack != MAP_FAILED)
            gAlternateStack = stack;
    }
    if (gAlternateStack) {
        stack_t stack {};
        stack.ss_sp = gAlternateStack;
        stack.ss_size = kAlternateStackSize;
        ::sigaltstack(&stack, nullptr);
    }
    // The first backtrace() loads libgcc; do it now, not inside the handler.
    void* frames[2];
    ::backtrace(frames, 2);

    int replaced = 0;
    const bool ok = installHandlers(false, &replaced);
    gInstalled.store(ok);
    return ok;
}

int QVCrashSignalHandler::reinstallIfReplaced()
{
    if (!gInstalled.load())
        return 0;
    int replaced = 0;
    installHandlers(true, &replaced);
    return replaced;
}

bool QVCrashSignalHandler::isInstalled()
{
    if (!gInstalled.load())
        return false;
    for (int signal : kSignals) {
        struct sigaction current {
        };
        if (::sigaction(signal, nullptr, &current) != 0 || !(current.sa_flags & SA_SIGINFO)
            || current.sa_sigaction != onFatalSignal)
            return false;
    }
    return true;
}

void QVCrashSignalHandler::setFaultInsideHandlerForTesting(bool fault)
{
    gFaultInsideHandler.store(fault);
}
