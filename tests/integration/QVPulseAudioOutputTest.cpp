#include "QVPulseAudioOutput.h"
#include "QVPulseAudioSystemVolume.h"
#include "QVTestWait.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A PulseAudio server of the test's own with two silent outputs, one of them
// a pair of headphones (by its form factor: null outputs have no ports).
class QVPulseAudioOutputTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("pulseaudio").isEmpty()
            || QStandardPaths::findExecutable("pactl").isEmpty())
            GTEST_SKIP() << "no PulseAudio server installed";
        socket = dir.filePath("native");
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PULSE_SERVER", "unix:" + socket);
        environment.insert("PULSE_RUNTIME_PATH", dir.filePath("runtime"));
        environment.insert("HOME", dir.path());
        startServer();
    }
    void startServer()
    {
        server.setProcessEnvironment(environment);
        server.start("pulseaudio",
            { "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--disable-shm=yes",
                "--load=module-native-protocol-unix auth-anonymous=1 socket=" + socket,
                "--load=module-null-sink sink_name=speakers",
                "--load=module-null-sink sink_name=headphones "
                "sink_properties=device.form_factor=headphone" });
        ASSERT_TRUE(server.waitForStarted(5000));
        ASSERT_TRUE(QVWaitUntil([&] { return QFileInfo::exists(socket) && pactl({ "info" }) == 0; }))
            << server.readAllStandardError().constData();
        qputenv("PULSE_SERVER", ("unix:" + socket).toUtf8());
        ASSERT_EQ(pactl({ "set-default-sink", "speakers" }), 0);
    }
    void TearDown() override
    {
        qunsetenv("PULSE_SERVER");
        if (server.state() != QProcess::NotRunning) {
            server.terminate();
            server.waitForFinished(5000);
        }
    }
    int pactl(const QStringList& arguments, QString* output = nullptr)
    {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start("pactl", arguments);
        process.waitForFinished(5000);
        if (output)
            *output = QString::fromUtf8(process.readAllStandardOutput());
        return process.exitCode();
    }

    QTemporaryDir dir;
    QString socket;
    QProcessEnvironment environment;
    QProcess server;
};

} // namespace

TEST_F(QVPulseAudioOutputTest, FollowsTheDefaultOutputAndItsVolume)
{
    QVPulseAudioOutput output;
    QSignalSpy changed(&output, &QVAudioOutputMonitor::dataSourceChanged);
    ASSERT_TRUE(output.start());
    ASSERT_TRUE(QVWaitUntil([&] { return output.state().sinkName == "speakers"; }));
    EXPECT_FALSE(output.isHeadphoneOutput());

    // Onto headphones: not a change that should pause.
    ASSERT_EQ(pactl({ "set-default-sink", "headphones" }), 0);
    ASSERT_TRUE(QVWaitUntil([&] { return output.isHeadphoneOutput(); }));
    EXPECT_EQ(changed.count(), 0);

    // Away from them (Bluetooth headphones switched off): a change, on the main thread.
    ASSERT_EQ(pactl({ "set-default-sink", "speakers" }), 0);
    ASSERT_TRUE(QVWaitUntil([&] { return changed.count() == 1; }));
    EXPECT_FALSE(output.isHeadphoneOutput());

    // The system volume is the default output's, kept within its full level.
    QVPulseAudioSystemVolume volume(&output);
    const struct {
        float set;
        float reads;
        const char* server;
    } steps[] = { { 0.25f, 0.25f, " 25%" }, { 0.375f, 0.375f, " 38%" }, { 3.0f, 1.0f, " 100%" } };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.server);
        volume.setSystemVolume(step.set);
        EXPECT_NEAR(volume.systemVolume(), step.reads, 0.01f);
        QString text;
        EXPECT_TRUE(QVWaitUntil([&] {
            pactl({ "get-sink-volume", "speakers" }, &text);
            return text.contains(step.server);
        })) << text.toStdString();
    }
    ASSERT_EQ(pactl({ "set-sink-volume", "speakers", "40%" }), 0);
    ASSERT_TRUE(QVWaitUntil([&] { return std::abs(volume.systemVolume() - 0.4f) < 0.01f; }));

    // The server goes away: nothing breaks, the output is unknown.
    server.terminate();
    server.waitForFinished(5000);
    ASSERT_TRUE(QVWaitUntil([&] { return !output.state().isValid; }));
    volume.setSystemVolume(0.5f);
    EXPECT_FALSE(output.isHeadphoneOutput());

    // It comes back (a restarted session): so do we.
    startServer();
    ASSERT_TRUE(QVWaitUntil([&] { return output.state().sinkName == "speakers"; }, 10000));
}

TEST_F(QVPulseAudioOutputTest, NoServerIsOneLogLineAndNothingElse)
{
    qputenv("PULSE_SERVER", ("unix:" + dir.filePath("nothing-here")).toUtf8());
    QVPulseAudioOutput output;
    QSignalSpy changed(&output, &QVAudioOutputMonitor::dataSourceChanged);
    output.start();
    QTest::qWait(300);
    EXPECT_FALSE(output.state().isValid);
    output.setVolume(0.5f);
    EXPECT_FLOAT_EQ(output.volume(), 0.0f);
    EXPECT_EQ(changed.count(), 0);
}
