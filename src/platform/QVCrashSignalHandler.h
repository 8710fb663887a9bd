#pragma once

// Writes a crash log when the program dies of a fatal signal (SIGSEGV, SIGBUS,
// SIGILL, SIGFPE, SIGABRT, SIGSYS), then lets the signal end the process as it
// would have, so the exit status and any core dump stay the same. Everything
// the handler needs is prepared at install; the handler itself makes only
// async-signal-safe calls. This file's object holds no Qt and no allocation:
// a test lists its undefined symbols.
class QVCrashSignalHandler
{
public:
    static constexpr int kSignalCount = 6;
    static const int kSignals[kSignalCount];
    // Longer directories or versions are refused (install) or cut (version).
    static constexpr int kMaximumPathLength = 1024;
    static constexpr int kMaximumVersionLength = 64;

    // Creates `directory` (mode 0700, parents too), prepares the alternate
    // stack and the backtrace, and installs the handler. Logs go to
    // "<directory>/<prefix>-<UTC yyyymmdd-hhmmss>-<pid>.crash". False when the
    // directory cannot be made or the signals cannot be caught; calling again
    // re-prepares and reinstalls.
    static bool install(const char* directory, const char* prefix, const char* version);
    // Puts the handler back on every signal something else took over (the web
    // engine may install its own); the number of signals put back.
    static int reinstallIfReplaced();
    static bool isInstalled();

    // For the crash tests only: the handler itself faults after writing the
    // log's first lines, as a bug inside it would.
    static void setFaultInsideHandlerForTesting(bool fault);
};
