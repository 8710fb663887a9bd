#include <gtest/gtest.h>

#include <QProcess>
#include <QRegularExpression>

#include <csignal>

namespace {

QString serviceProgram()
{
    return qEnvironmentVariable("QUIV_DEMO_SERVICE");
}

TEST(DemoServiceProcessTest, BadArgumentsExitWithUsageError)
{
    const QList<QStringList> cases = {
        { QStringLiteral("--port"), QStringLiteral("abc") },
        { QStringLiteral("--port"), QStringLiteral("70000") },
        { QStringLiteral("--bogus") },
        { QStringLiteral("--root"), QStringLiteral("/nonexistent/quiv-web-root") },
    };
    for (const QStringList& arguments : cases) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        QProcess process;
        process.start(serviceProgram(), arguments);
        ASSERT_TRUE(process.waitForFinished(5000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 2);
        EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
        EXPECT_TRUE(process.readAllStandardError().contains("usage:"));
    }
}

TEST(DemoServiceProcessTest, AnnouncesItsPortAndStopsCleanlyOnSignals)
{
    for (const int signal : { SIGTERM, SIGINT }) {
        QProcess process;
        process.start(serviceProgram(),
            { QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--root"),
                qEnvironmentVariable("QUIV_DEMO_ROOT") });
        ASSERT_TRUE(process.waitForStarted(5000));
        ASSERT_TRUE(process.waitForReadyRead(5000));
        const QByteArray line = process.readLine();
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^listening on 127\\.0\\.0\\.1:[1-9]\\d*\\n$"))
                        .match(QString::fromUtf8(line))
                        .hasMatch())
            << line.data();
        ::kill(pid_t(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(5000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
    }
}

} // namespace
