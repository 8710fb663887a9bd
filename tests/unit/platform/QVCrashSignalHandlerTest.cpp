#include "QVCrashSignalHandler.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>

namespace {

// Runs the trigger with no core dumps; a crash gives its signal as the exit code.
QProcess* trigger(const char* mode, const QString& folder)
{
    const rlimit none { 0, 0 };
    ::setrlimit(RLIMIT_CORE, &none);
    auto* process = new QProcess;
    process->start(QUIV_CRASH_TRIGGER_PATH, { mode, folder });
    process->waitForStarted();
    return process;
}

} // namespace

// Each ends by its own signal within 10 s with one private log naming the
// signal, the time and the frames; a crash inside the handler may cut the log.
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
        std::unique_ptr<QProcess> process(trigger(c.mode, folder));
        const qint64 pid = process->processId();
        EXPECT_TRUE(process->waitForFinished(10000));
        EXPECT_EQ(process->exitStatus(), QProcess::CrashExit);
        EXPECT_EQ(process->exitCode(), c.signal);

        EXPECT_EQ(int(QFileInfo(folder).permissions() & 0x7777), 0x7700) << "the owner's only";
        const QStringList logs = QDir(folder).entryList(QDir::Files);
        ASSERT_EQ(logs.size(), 1) << logs.join(' ').toStdString();
        const auto name = QRegularExpression(QStringLiteral("^quiv-(\\d{8}-\\d{6})-%1\\.crash$").arg(pid))
                              .match(logs.first());
        ASSERT_TRUE(name.hasMatch()) << logs.first().toStdString();
        QFile file(folder + "/" + logs.first());
        EXPECT_EQ(int(file.permissions() & 0x7777), 0x6600);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        EXPECT_TRUE(text.contains(QStringLiteral("Signal: %1 (%2)\n")
                                      .arg(c.signal == SIGSEGV ? "SIGSEGV" : "SIGABRT")
                                      .arg(c.signal)))
            << text.left(300).toStdString();
        EXPECT_TRUE(text.contains("Version: 9.9.9-test\n"));
        // The time, worked out without the C library, agrees with the clock and the name.
        const auto stamp
            = QRegularExpression("Time: (\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d) UTC").match(text);
        ASSERT_TRUE(stamp.hasMatch());
        QDateTime when = QDateTime::fromString(stamp.captured(1), "yyyy-MM-dd hh:mm:ss");
        when.setTimeSpec(Qt::UTC);
        EXPECT_TRUE(when >= before && when <= QDateTime::currentDateTimeUtc())
            << stamp.captured(1).toStdString();
        EXPECT_EQ(name.captured(1), when.toString("yyyyMMdd-hhmmss"));
        if (c.complete) {
            EXPECT_TRUE(text.contains(QRegularExpression("Backtrace:\n(.*\n)*.*quiv-crash-trigger\\(")));
            EXPECT_TRUE(text.contains(QRegularExpression(
                "\nMemory map:\n.*\\[stack\\]", QRegularExpression::DotMatchesEverythingOption)));
        }
    }
}

TEST(QVCrashSignalHandlerTest, TakenOverSignalsArePutBackAndAFolderThatCannotBeMadeRefuses)
{
    QTemporaryDir scratch;
    std::unique_ptr<QProcess> process(trigger("reinstall", scratch.filePath("crashes")));
    ASSERT_TRUE(process->waitForFinished(10000));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 0);

    QFile(scratch.filePath("file")).open(QIODevice::WriteOnly);
    process.reset(trigger("null", scratch.filePath("file/crashes")));
    ASSERT_TRUE(process->waitForFinished(10000));
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 2) << "no install, no crash";
}

// What the handler's object calls from outside: only functions safe in a
// signal handler (POSIX's list; the backtrace pair, loaded at install; and
// what only install calls).
TEST(QVCrashSignalHandlerTest, TheHandlerCallsOnlyAsyncSignalSafeFunctions)
{
    QProcess nm;
    nm.start("nm", { "-u", QUIV_PLATFORM_LIBRARY_PATH });
    ASSERT_TRUE(nm.waitForFinished(30000));
    QStringList undefined;
    bool inHandler = false;
    for (const QString& line : QString::fromUtf8(nm.readAllStandardOutput()).split('\n')) {
        if (line.endsWith(".o:"))
            inHandler = line == "QVCrashSignalHandler.cpp.o:";
        else if (inHandler && !line.trimmed().isEmpty())
            undefined.append(line.trimmed().section(' ', -1).section('@', 0, 0));
    }
    ASSERT_GT(undefined.size(), 5) << "the handler's object was not found";
    const QSet<QString> allowed { "_exit", "alarm", "chmod", "clock_gettime", "close", "fstat", "fsync",
        "getpid", "mkdir", "open", "open64", "pause", "raise", "read", "sigaction", "sigemptyset", "stat",
        "stat64", "write", "memcpy", "memset", "syscall", "__errno_location", "backtrace",
        "backtrace_symbols_fd", "mmap", "mmap64", "sigaltstack", "__stack_chk_fail",
        "_GLOBAL_OFFSET_TABLE_" };
    for (const QString& symbol : undefined)
        EXPECT_TRUE(allowed.contains(symbol)) << symbol.toStdString();
}
