#include "QVCrashSignalHandler.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Ending {
    int signal = 0; // 0: not ended by a signal in time
    pid_t pid = 0;
    qint64 elapsedMs = 0;
};

// Runs the trigger in a child without core dumps and waits up to 10 s.
Ending crash(const char* mode, const QString& folder)
{
    const QByteArray program = QUIV_CRASH_TRIGGER_PATH;
    const QByteArray folderBytes = QFile::encodeName(folder);
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit none { 0, 0 };
        ::setrlimit(RLIMIT_CORE, &none);
        ::execl(program.constData(), program.constData(), mode, folderBytes.constData(), nullptr);
        ::_exit(127);
    }
    Ending ending;
    ending.pid = pid;
    int status = 0;
    while (clock.elapsed() < 10000) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            ending.elapsedMs = clock.elapsed();
            if (WIFSIGNALED(status))
                ending.signal = WTERMSIG(status);
            return ending;
        }
        QThread::msleep(5);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return ending;
}

} // namespace

// Each ends by its own signal, quickly, with one private log naming the signal
// and the time; the crash inside the handler may leave the log partial.
TEST(QVCrashSignalHandlerTest, EveryKindOfCrashEndsByItsSignalWithOneLog)
{
    const struct {
        const char* mode;
        int signal;
        bool complete;
    } cases[] = {
        { "null", SIGSEGV, true },
        { "abort", SIGABRT, true },
        { "overflow", SIGSEGV, true },
        { "thread", SIGSEGV, true },
        { "twothreads", SIGSEGV, true },
        { "inside", SIGSEGV, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        QTemporaryDir scratch;
        const QString folder = scratch.filePath("state/Quiv/crashes");
        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
        const Ending ending = crash(c.mode, folder);
        const QDateTime after = QDateTime::currentDateTimeUtc().addSecs(1);
        EXPECT_EQ(ending.signal, c.signal);
        EXPECT_LT(ending.elapsedMs, 10000);

        EXPECT_EQ(QFileInfo(folder).permissions() & 0x7777,
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadUser
                | QFileDevice::WriteUser | QFileDevice::ExeUser);
        const QStringList logs = QDir(folder).entryList(QDir::Files);
        ASSERT_EQ(logs.size(), 1) << logs.join(' ').toStdString();
        const QRegularExpression name(QStringLiteral("^quiv-(\\d{8}-\\d{6})-%1\\.crash$").arg(ending.pid));
        const auto named = name.match(logs.first());
        ASSERT_TRUE(named.hasMatch()) << logs.first().toStdString();
        const QString path = folder + "/" + logs.first();
        EXPECT_EQ(QFileInfo(path).permissions() & 0x7777,
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser
                | QFileDevice::WriteUser);

        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        const QString signalLine = QStringLiteral("Signal: %1 (%2)\n")
                                       .arg(c.signal == SIGSEGV ? "SIGSEGV" : "SIGABRT")
                                       .arg(c.signal);
        EXPECT_TRUE(text.contains(signalLine)) << text.left(400).toStdString();
        EXPECT_TRUE(text.contains("Version: 9.9.9-test\n"));
        EXPECT_TRUE(text.contains("Backtrace:\n"));
        // The time, worked out without the C library, matches the clock and the name.
        const auto stamp
            = QRegularExpression("Time: (\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d) UTC").match(text);
        ASSERT_TRUE(stamp.hasMatch());
        QDateTime when = QDateTime::fromString(stamp.captured(1), "yyyy-MM-dd hh:mm:ss");
        when.setTimeSpec(Qt::UTC);
        EXPECT_TRUE(when >= before && when <= after) << stamp.captured(1).toStdString();
        EXPECT_EQ(named.captured(1), when.toString("yyyyMMdd-hhmmss"));
        if (c.complete) {
            EXPECT_TRUE(text.contains("quiv-crash-trigger(")) << "a frame of the trigger";
            EXPECT_TRUE(text.contains("\nMemory map:\n"));
            EXPECT_TRUE(text.contains("[stack]"));
        }
    }
}

TEST(QVCrashSignalHandlerTest, TakenOverSignalsArePutBack)
{
    QTemporaryDir scratch;
    const QString folder = scratch.filePath("crashes");
    QProcess trigger;
    trigger.start(QUIV_CRASH_TRIGGER_PATH, { "reinstall", folder });
    ASSERT_TRUE(trigger.waitForFinished(10000));
    EXPECT_EQ(trigger.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(trigger.exitCode(), 0);
    // A folder that cannot be made refuses the install.
    QFile blocker(scratch.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    trigger.start(QUIV_CRASH_TRIGGER_PATH, { "null", scratch.filePath("file/crashes") });
    ASSERT_TRUE(trigger.waitForFinished(10000));
    EXPECT_EQ(trigger.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(trigger.exitCode(), 2);
}

// What the handler's object calls from outside: only functions safe in a
// signal handler (POSIX's list, plus the backtrace pair, warmed up at install,
// and the calls that only install uses).
TEST(QVCrashSignalHandlerTest, TheHandlerCallsOnlyAsyncSignalSafeFunctions)
{
    QProcess nm;
    nm.start("nm", { "-u", QUIV_PLATFORM_LIBRARY_PATH });
    ASSERT_TRUE(nm.waitForFinished(30000));
    const QStringList lines = QString::fromUtf8(nm.readAllStandardOutput()).split('\n');
    QStringList undefined;
    bool inHandler = false;
    for (const QString& line : lines) {
        if (line.endsWith(".o:")) {
            inHandler = line.startsWith("QVCrashSignalHandler.cpp.o");
            continue;
        }
        const QString symbol = line.trimmed().section(' ', -1).section('@', 0, 0);
        if (inHandler && !symbol.isEmpty())
            undefined.append(symbol);
    }
    ASSERT_FALSE(undefined.isEmpty()) << "the handler's object was not found";
    const QSet<QString> allowed {
        // Async-signal-safe.
        "_exit",
        "alarm",
        "chmod",
        "clock_gettime",
        "close",
        "fstat",
        "fsync",
        "getpid",
        "mkdir",
        "open",
        "open64",
        "pause",
        "raise",
        "read",
        "sigaction",
        "sigemptyset",
        "stat",
        "stat64",
        "write",
        "memcpy",
        "memset",
        "syscall",
        "__errno_location",
        // Safe once libgcc is loaded, which install does.
        "backtrace",
        "backtrace_symbols_fd",
        // Install only.
        "mmap",
        "mmap64",
        "sigaltstack",
        // Stack protector and the linker's own.
        "__stack_chk_fail",
        "_GLOBAL_OFFSET_TABLE_",
    };
    for (const QString& symbol : undefined)
        EXPECT_TRUE(allowed.contains(symbol)) << symbol.toStdString();
}
