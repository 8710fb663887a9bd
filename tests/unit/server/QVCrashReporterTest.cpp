#include "QVCrashReporter.h"
#include "QVConstants.h"
#include "QVDemoService.h"
#include "QVRecordingDelegate.h"
#include "QVServerConnection.h"
#include "QVTestDefaults.h"
#include "QVTestWait.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

class QVCrashReporterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(demo.start()) << demo.errorString().toStdString();
        ASSERT_TRUE(folder.isValid());
    }

    QVCrashReporter::Setup setup()
    {
        return { folder.path(), "quiv", defaults.get(), &pool, demo.baseUrl() };
    }

    // Writes a log modified `minutesAgo` minutes ago; its path.
    QString write(const QString& name, const QByteArray& text, int minutesAgo)
    {
        const QString path = folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.flush(); // a write at close would move the time again
        EXPECT_TRUE(file.setFileTime(
            QDateTime::currentDateTimeUtc().addSecs(-60 * minutesAgo), QFileDevice::FileModificationTime));
        return path;
    }

    struct Pass {
        int sent = -1;
        bool complete = false;
    };
    Pass pass()
    {
        QVCrashReporter reporter(setup());
        QSignalSpy ended(&reporter, &QVCrashReporter::passEnded);
        reporter.run();
        EXPECT_TRUE(QVWaitUntil([&] { return !ended.isEmpty(); }, 10000));
        if (ended.isEmpty())
            return {};
        return { ended.first().at(0).toInt(), ended.first().at(1).toBool() };
    }

    QByteArray send(const QString& path, const std::optional<QVServerRequestParams>& form = std::nullopt)
    {
        QVRecordingDelegate answer;
        pool.addServerRequest(demo.baseUrl() + path, form, true, &answer);
        EXPECT_TRUE(QVWaitUntil([&] { return answer.hasEnded(); }));
        const auto* finished = answer.first(QVRecordingDelegate::Finished);
        return finished ? finished->data : QByteArray();
    }
    QStringList received()
    {
        QStringList logs;
        const QJsonArray all
            = QJsonDocument::fromJson(send("/api/demo/appLogs")).object().value("logs").toArray();
        for (const QJsonValue& entry : all) {
            EXPECT_EQ(entry.toObject().value("appName").toString(), QStringLiteral("mac"));
            logs.append(entry.toObject().value("log").toString());
        }
        return logs;
    }
    void fault(const char* mode, int after = 0)
    {
        send("/api/demo/control",
            QVServerRequestParams {
                { "call", "submitAppLog" }, { "mode", mode }, { "after", QString::number(after) } });
    }
    QDateTime stored() const
    {
        return defaults->objectForKey(QString::fromLatin1(QVLastCrashSubmissionDateKey)).toDateTime();
    }
    QDateTime modified(const QString& path) const { return QFileInfo(path).lastModified().toUTC(); }

    QVDemoService demo;
    QVServerConnection pool;
    QVTestDefaults defaults;
    QTemporaryDir folder;
};

} // namespace

TEST_F(QVCrashReporterTest, LogsArriveWholeOnceAndOnlyThisProgramsOnes)
{
    const QByteArray first = "Signal: SIGSEGV (11) & a=b; c+d 100% \xc3\xbc \xf0\x9f\x8e\xb8\n#0 main\r\n";
    const QByteArray second = "Signal: SIGABRT (6)\n\n=&=;+%\n";
    write("quiv-20261208-070000-11.crash", first, 30);
    const QString newest = write("quiv-helper", second, 20);
    write("other-quiv-20261208-070000-12.crash", "not ours", 10);
    write("Quiv-20261208-070000-13.crash", "not ours either", 10);

    const Pass one = pass();
    EXPECT_EQ(one.sent, 2);
    EXPECT_TRUE(one.complete);
    EXPECT_EQ(received(), QStringList({ QString::fromUtf8(first), QString::fromUtf8(second) }));
    EXPECT_EQ(stored(), modified(newest));

    // The next start has nothing new; a log as old as the stored date is not new.
    const Pass two = pass();
    EXPECT_EQ(two.sent, 0);
    EXPECT_EQ(received().size(), 2);
    EXPECT_EQ(stored(), modified(newest));

    // A stored date ahead of the clock hides nothing.
    defaults->setValue(
        QDateTime::currentDateTimeUtc().addYears(1), QString::fromLatin1(QVLastCrashSubmissionDateKey));
    EXPECT_EQ(pass().sent, 2);
}

// A 5xx or a connection lost mid-answer stops the pass before that log; a 4xx
// is the service's last word on it.
TEST_F(QVCrashReporterTest, ALogLostOnTheWayIsSentAtTheNextStart)
{
    for (const char* mode : { "status500", "drop" }) {
        SCOPED_TRACE(mode);
        defaults->removeObjectForKey(QString::fromLatin1(QVLastCrashSubmissionDateKey));
        for (const QString& name : QDir(folder.path()).entryList(QDir::Files))
            QFile::remove(folder.filePath(name));
        const QString kept = write("quiv-a.crash", "first", 30);
        write("quiv-b.crash", "second", 20);
        write("quiv-c.crash", "third", 10);
        const int before = received().size();

        fault(mode, 1);
        const Pass lost = pass();
        EXPECT_EQ(lost.sent, 1);
        EXPECT_FALSE(lost.complete);
        EXPECT_EQ(stored(), modified(kept));

        fault("ok");
        const Pass again = pass();
        EXPECT_EQ(again.sent, 2);
        EXPECT_TRUE(again.complete);
        const QStringList logs = received();
        EXPECT_EQ(logs.mid(before), QStringList({ "first", "second", "third" }));
    }

    // Refused for good (the demo answers 400 to an empty log): passed, not retried.
    write("quiv-d.crash", "fourth", 5);
    const QString empty = write("quiv-e.crash", "", 4);
    const Pass refused = pass();
    EXPECT_EQ(refused.sent, 1);
    EXPECT_TRUE(refused.complete);
    EXPECT_EQ(stored(), modified(empty));
}

TEST_F(QVCrashReporterTest, StrayFilesNeitherStallNorBreakThePass)
{
    const QString secret = folder.filePath("secret.txt");
    write("secret.txt", "do not send", 60);
    ASSERT_TRUE(QFile::link(secret, folder.filePath("quiv-link.crash")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.filePath("quiv-fifo.crash")).constData(), 0600), 0);
    ASSERT_EQ(::mkdir(QFile::encodeName(folder.filePath("quiv-folder.crash")).constData(), 0700), 0);
    {
        QFile big(folder.filePath("quiv-big.crash"));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        big.write(QByteArray(1000, 'x') + "\xc3\xbc");
        ASSERT_TRUE(big.resize(50LL * 1024 * 1024)); // sparse: cheap to make
    }
    write("quiv-plain.crash", "plain", 1);

    QElapsedTimer clock;
    clock.start();
    const Pass result = pass();
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(result.sent, 2);
    const QStringList logs = received();
    ASSERT_EQ(logs.size(), 2);
    EXPECT_EQ(logs.at(0), QStringLiteral("plain")); // the older one first
    const QByteArray cut = logs.at(1).toUtf8();
    EXPECT_LE(cut.size(), QVCrashReporter::kMaximumLogLength);
    EXPECT_TRUE(cut.startsWith(QByteArray(1000, 'x') + "\xc3\xbc"));
    EXPECT_TRUE(cut.endsWith("this log of 52428800 bytes was cut here]\n")) << cut.right(80).toStdString();
    EXPECT_FALSE(QVCrashReporter::readLog(folder.filePath("quiv-fifo.crash")).has_value());
    EXPECT_FALSE(QVCrashReporter::readLog(folder.filePath("quiv-link.crash")).has_value());
}

TEST_F(QVCrashReporterTest, TenThousandLogsGiveTheNewestTwentyOldestFirst)
{
    for (int i = 0; i < 10000; ++i) {
        QFile file(folder.filePath(QStringLiteral("quiv-%1.crash").arg(i)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
        file.flush();
        file.setFileTime(
            QDateTime::currentDateTimeUtc().addSecs(i - 20000), QFileDevice::FileModificationTime);
    }
    QVCrashReporter reporter(setup());
    QElapsedTimer clock;
    clock.start();
    const QList<QVCrashReporter::CrashLog> logs
        = reporter.findCrashLogsSinceDate(reporter.getLastSubmissionDate());
    EXPECT_LT(clock.elapsed(), 2000);
    ASSERT_EQ(logs.size(), QVCrashReporter::kMaximumLogsPerPass);
    for (int i = 0; i < logs.size(); ++i)
        EXPECT_TRUE(logs.at(i).path.endsWith(QStringLiteral("quiv-%1.crash").arg(9980 + i)));
}
