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
#include <string_view>
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
    const std::pair<const char*, int> cases[] = { { "null", SIGSEGV }, { "abort", SIGABRT },
        { "overflow", SIGSEGV }, { "thread", SIGSEGV }, { "twothreads", SIGSEGV }, { "inside", SIGSEGV } };
    for (const auto& [mode, number] : cases) {
        SCOPED_TRACE(mode);
        QTemporaryDir scratch;
        const QString folder = scratch.filePath("state/Quiv/crashes");
        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
        std::unique_ptr<QProcess> process(trigger(mode, folder));
        const qint64 pid = process->processId();
        EXPECT_TRUE(process->waitForFinished(10000));
        EXPECT_EQ(process->exitStatus(), QProcess::CrashExit);
        EXPECT_EQ(process->exitCode(), number);

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
        EXPECT_TRUE(text.contains(
            QStringLiteral("Signal: %1 (%2)\n").arg(number == SIGSEGV ? "SIGSEGV" : "SIGABRT").arg(number)));
        // The time, worked out without the C library, agrees with the clock and the name.
        const auto stamp
            = QRegularExpression("Time: (\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d) UTC").match(text);
        ASSERT_TRUE(stamp.hasMatch());
        QDateTime when = QDateTime::fromString(stamp.captured(1), "yyyy-MM-dd hh:mm:ss");
        when.setTimeSpec(Qt::UTC);
        EXPECT_TRUE(when >= before && when <= QDateTime::currentDateTimeUtc())
            << stamp.captured(1).toStdString();
        EXPECT_EQ(name.captured(1), when.toString("yyyyMMdd-hhmmss"));
        if (std::string_view(mode) != "inside") {
            EXPECT_TRUE(text.contains(QRegularExpression("Backtrace:\n(.*\n)*.*quiv-crash-trigger\\(")));
            EXPECT_TRUE(text.contains(QRegularExpression(
                "\nMemory map:\n.*\\[stack\\]", QRegularExpression::DotMatchesEverythingOption)));
        }
    }
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
