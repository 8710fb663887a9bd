#include <gtest/gtest.h>

#include <QProcess>

namespace {

// Starting and stopping on a signal are driven by every other test's fixture.
TEST(DemoServiceProcessTest, BadArgumentsExitWithUsageError)
{
    const QList<QStringList> cases = {
        { QStringLiteral("--port"), QStringLiteral("70000") },
        { QStringLiteral("--bogus") },
        { QStringLiteral("--root"), QStringLiteral("/nonexistent/quiv-web-root") },
    };
    for (const QStringList& arguments : cases) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        QProcess process;
        process.start(qEnvironmentVariable("QUIV_DEMO_SERVICE"), arguments);
        ASSERT_TRUE(process.waitForFinished(5000));
        EXPECT_EQ(process.exitCode(), 2);
        EXPECT_TRUE(process.readAllStandardError().contains("usage:"));
    }
}

} // namespace
