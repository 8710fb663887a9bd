#include "QVDemoService.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

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

TEST(DemoServiceProcessTest, HelperGivesUpOnAServiceThatNeverAnswers)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString silent = dir.filePath(QStringLiteral("silent-service"));
    QFile script(silent);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\nexec sleep 30\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    const QByteArray saved = qgetenv("QUIV_DEMO_SERVICE");
    qputenv("QUIV_DEMO_SERVICE", QFile::encodeName(silent));
    QElapsedTimer clock;
    clock.start();
    {
        QVDemoService service;
        EXPECT_FALSE(service.start(800));
        EXPECT_EQ(service.port(), 0);
        EXPECT_FALSE(service.errorString().isEmpty());
    }
    EXPECT_LT(clock.elapsed(), 5000);

    // A program that exits at once is reported without waiting out the limit.
    qputenv("QUIV_DEMO_SERVICE", "/bin/false");
    clock.restart();
    {
        QVDemoService service;
        EXPECT_FALSE(service.start(4000));
    }
    EXPECT_LT(clock.elapsed(), 3000);
    qputenv("QUIV_DEMO_SERVICE", saved);
}

} // namespace
