#include "QVCrashReporter.h"
#include "QVConstants.h"
#include "QVDemoService.h"
#include "QVRecordingDelegate.h"
#include "QVServerConnection.h"
#include "QVTestDefaults.h"
#include "QVTestWait.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

const QString kDateKey = QString::fromLatin1(QVLastCrashSubmissionDateKey);

// Passes over a scratch folder of logs, uploading to the demo service.
class QVCrashReporterTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(demo.start()) << demo.errorString().toStdString(); }

    // A log modified `minutesAgo` minutes ago.
    QString write(const QString& name, const QByteArray& text, int minutesAgo)
    {
        QFile file(folder.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.flush(); // a write at close would move the time again
        file.setFileTime(
            QDateTime::currentDateTimeUtc().addSecs(-60 * minutesAgo), QFileDevice::FileModificationTime);
        return file.fileName();
    }
    // Sent logs and whether the pass went through.
    std::pair<int, bool> pass()
    {
        QVCrashReporter reporter({ folder.path(), "quiv", defaults.get(), &pool, demo.baseUrl() });
        QSignalSpy ended(&reporter, &QVCrashReporter::passEnded);
        reporter.run();
        if (!QVWaitUntil([&] { return !ended.isEmpty(); }))
            return { -1, false };
        return { ended.first().at(0).toInt(), ended.first().at(1).toBool() };
    }
    QStringList received()
    {
        const QByteArray answer = QVRecordingDelegate::fetch(pool, demo.baseUrl() + "/api/demo/appLogs");
        QStringList logs;
        for (const QJsonValue& entry : QJsonDocument::fromJson(answer).object().value("logs").toArray())
            logs.append(entry.toObject().value("appName").toString() + ":"
                + entry.toObject().value("log").toString());
        return logs;
    }
    void fault(const char* mode, int after = 0)
    {
        QVRecordingDelegate::fetch(pool, demo.baseUrl() + "/api/demo/control",
            QVServerRequestParams {
                { "call", "submitAppLog" }, { "mode", mode }, { "after", QString::number(after) } });
    }
    QDateTime stored() const { return defaults->objectForKey(kDateKey).toDateTime(); }
    static QDateTime modified(const QString& path) { return QFileInfo(path).lastModified().toUTC(); }

    QVDemoService demo;
    QVServerConnection pool;
    QVTestDefaults defaults;
    QTemporaryDir folder;
};

} // namespace

TEST_F(QVCrashReporterTest, LogsArriveWholeOnceAndOnlyThisProgramsOnes)
{
    const QByteArray first = "Signal: SIGSEGV (11) & a=b; c+d 100% \xc3\xbc \xf0\x9f\x8e\xb8\n#0 main\r\n";
    write("quiv-20261208-070000-11.crash", first, 30);
    const QString newest = write("quiv-helper", "=&=;+%\n", 20);
    write("other-quiv-20261208-070000-12.crash", "not ours", 10);

    EXPECT_EQ(pass(), std::make_pair(2, true));
    EXPECT_EQ(received(), QStringList({ "mac:" + QString::fromUtf8(first), "mac:=&=;+%\n" }));
    EXPECT_EQ(stored(), modified(newest));

    // Nothing new at the next start: a log as old as the stored date is not new.
    EXPECT_EQ(pass(), std::make_pair(0, true));
    EXPECT_EQ(received().size(), 2);

    // A stored date ahead of the clock hides nothing.
    defaults->setValue(QDateTime::currentDateTimeUtc().addYears(1), kDateKey);
    EXPECT_EQ(pass().first, 2);
}

// A 5xx or a connection lost mid-answer stops the pass before that log; a 4xx
// is the service's last word on it.
TEST_F(QVCrashReporterTest, ALogLostOnTheWayIsSentAtTheNextStart)
{
    const QString kept = write("quiv-a.crash", "a", 30);
    write("quiv-b.crash", "b", 20);
    write("quiv-c.crash", "c", 10);
    for (const char* mode : { "status500", "drop" }) {
        SCOPED_TRACE(mode);
        defaults->removeObjectForKey(kDateKey);
        fault(mode, 1);
        EXPECT_EQ(pass(), std::make_pair(1, false));
        EXPECT_EQ(stored(), modified(kept));
        fault("ok");
        EXPECT_EQ(pass(), std::make_pair(2, true));
        EXPECT_EQ(received().mid(received().size() - 3), QStringList({ "mac:a", "mac:b", "mac:c" }));
    }
    write("quiv-d.crash", "d", 5);
    const QString empty = write("quiv-e.crash", "", 4); // refused by the demo with a 400
    EXPECT_EQ(pass(), std::make_pair(1, true));
    EXPECT_EQ(stored(), modified(empty));
}

TEST_F(QVCrashReporterTest, StrayFilesNeitherStallNorBreakThePass)
{
    const QString secret = write("secret.txt", "do not send", 60);
    ASSERT_TRUE(QFile::link(secret, folder.filePath("quiv-link.crash")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.filePath("quiv-fifo.crash")).constData(), 0600), 0);
    write("quiv-plain.crash", "plain", 1);
    {
        // Two-byte characters across the cut, then sparse zeros up to 50 MB.
        QFile big(folder.filePath("quiv-big.crash"));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        big.write(QByteArray("\xc3\xbc").repeated(QVCrashReporter::kMaximumLogLength));
        ASSERT_TRUE(big.resize(50LL * 1024 * 1024));
    }
    EXPECT_EQ(pass(), std::make_pair(2, true));
    const QStringList logs = received();
    ASSERT_EQ(logs.size(), 2);
    EXPECT_EQ(logs.at(0), "mac:plain");
    const QByteArray cut = logs.at(1).toUtf8();
    EXPECT_LE(cut.size(), 4 + QVCrashReporter::kMaximumLogLength);
    EXPECT_FALSE(logs.at(1).contains(QChar::ReplacementCharacter)) << "cut inside a character";
    EXPECT_TRUE(cut.endsWith("this log of 52428800 bytes was cut here]\n")) << cut.right(80).toStdString();

    // Ten thousand logs: the newest few, oldest first, found in good time.
    ASSERT_TRUE(QDir(folder.path()).removeRecursively() && QDir().mkpath(folder.path()));
    for (int i = 0; i < 10000; ++i)
        write(QStringLiteral("quiv-%1.crash").arg(i), "x", 20000 - i);
    QVCrashReporter reporter({ folder.path(), "quiv", defaults.get(), &pool, demo.baseUrl() });
    QElapsedTimer clock;
    clock.start();
    const auto found = reporter.findCrashLogsSinceDate(QDateTime(QDate(2000, 1, 1), QTime(0, 0), Qt::UTC));
    EXPECT_LT(clock.elapsed(), 2000);
    ASSERT_EQ(found.size(), QVCrashReporter::kMaximumLogsPerPass);
    for (int i = 0; i < found.size(); ++i)
        EXPECT_TRUE(found.at(i).path.endsWith(QStringLiteral("quiv-%1.crash").arg(9980 + i)));
}
