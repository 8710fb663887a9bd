#include "QVDemoService.h"
#include "QVTestWait.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>

#include <memory>
#include <vector>

namespace {

// Copies of the installed program on the test's private bus, against the demo service.
class QVSingleInstanceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "run under dbus-run-session";
        ASSERT_TRUE(demo.start()) << qPrintable(demo.errorString());
    }
    void TearDown() override
    {
        for (auto& program : programs) {
            program->terminate();
            if (!program->waitForFinished(10000))
                program->kill();
        }
    }

    QProcess* start(const QStringList& arguments = {})
    {
        auto program = std::make_unique<QProcess>();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QUIV_DEVELOPER_HOST", demo.hostAndPort());
        environment.insert("QUIV_USE_LOCALHOST", "1");
        program->setProcessEnvironment(environment);
        program->start(QStringLiteral(QUIV_BINARY_PATH), arguments);
        EXPECT_TRUE(program->waitForStarted(5000));
        programs.push_back(std::move(program));
        return programs.back().get();
    }

    QVDemoService demo;
    std::vector<std::unique_ptr<QProcess>> programs;
};

} // namespace

TEST_F(QVSingleInstanceTest, FiveStartsLeaveOneAndASecondStartHandsOver)
{
    for (int i = 0; i < 5; ++i)
        start();
    // Four hand over (an activation) and end; one runs on.
    ASSERT_TRUE(QVWaitUntil(
        [&] {
            int ended = 0;
            for (auto& program : programs)
                ended += program->state() == QProcess::NotRunning;
            return ended == 4;
        },
        20000));
    QProcess* primary = nullptr;
    for (auto& program : programs) {
        if (program->state() != QProcess::NotRunning)
            primary = program.get();
        else
            EXPECT_EQ(program->exitCode(), 0) << program->readAllStandardError().constData();
    }
    ASSERT_TRUE(primary);
    // The running copy answers on its object.
    QDBusMessage get = QDBusMessage::createMethodCall(
        "com.quiv.desktop", "/com/quiv/desktop", "org.freedesktop.DBus.Properties", "Get");
    get.setArguments({ "com.quiv.desktop", "PlayerState" });
    ASSERT_TRUE(QVWaitUntil(
        [&] {
            return QDBusConnection::sessionBus().call(get, QDBus::Block, 1000).type()
                == QDBusMessage::ReplyMessage;
        },
        20000));

    // A second start with a link hands it over and ends at once; the running
    // copy routes it (this one is not an address, so it says so).
    QElapsedTimer clock;
    clock.start();
    QProcess* second = start({ "quiv://not an address" });
    ASSERT_TRUE(second->waitForFinished(5000));
    EXPECT_LT(clock.elapsed(), 2000);
    EXPECT_EQ(second->exitCode(), 0) << second->readAllStandardError().constData();
    QByteArray log;
    EXPECT_TRUE(QVWaitUntil(
        [&] {
            log += primary->readAllStandardError();
            return log.contains("Not an address we open: quiv://not an address");
        },
        5000))
        << log.constData();
    EXPECT_EQ(primary->state(), QProcess::Running);
}
