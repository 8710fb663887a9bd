#include "QVAppleRemoteListener.h"
#include "QVAppleRemoteListenerDelegate.h"
#include "QVEvdevDevice.h"
#include "QVTestWait.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/input.h>
#include <set>
#include <unistd.h>

namespace {
// A receiver fed through a pipe: the test writes the kernel's events, sets
// what the kernel would answer for key state, and unplugs it.
class FakeReceiver : public QVInputDevice
{
public:
    explicit FakeReceiver(const QString& path)
        : _path(path)
    {
        if (::pipe2(_pipe, O_NONBLOCK | O_CLOEXEC) != 0)
            _pipe[0] = _pipe[1] = -1;
    }
    ~FakeReceiver() override
    {
        ::close(_pipe[0]);
        unplug();
    }
    QString path() const override { return _path; }
    int fd() const override { return _pipe[0]; }
    ReadStatus readEvents(std::vector<input_event>& events) override
    {
        input_event event;
        ssize_t got;
        while ((got = ::read(_pipe[0], &event, sizeof event)) == sizeof event)
            events.push_back(event);
        return got == 0 ? ReadStatus::Gone : ReadStatus::Ok; // end of file: unplugged (ENODEV)
    }
    bool isKeyDown(int code) const override { return kernelKeysDown.count(code) != 0; }

    void write(int type, int code, int value)
    {
        input_event event {};
        event.type = quint16(type);
        event.code = quint16(code);
        event.value = value;
        [[maybe_unused]] const ssize_t written = ::write(_pipe[1], &event, sizeof event);
    }
    void key(int code, int value)
    {
        write(EV_KEY, code, value);
        write(EV_SYN, SYN_REPORT, 0);
    }
    void unplug()
    {
        if (_pipe[1] >= 0)
            ::close(_pipe[1]);
        _pipe[1] = -1;
    }

    std::set<int> kernelKeysDown;

private:
    QString _path;
    int _pipe[2];
};

class Recorder : public QVAppleRemoteListenerDelegate
{
public:
    void onButtonPressed(int button, bool isHold) override
    {
        calls.append(QStringLiteral("press %1%2").arg(button).arg(isHold ? " hold" : ""));
    }
    void onButtonReleased(int button) override { calls.append(QStringLiteral("release %1").arg(button)); }
    QStringList calls;
};

struct Step {
    int code;
    int value;
};

class QVAppleRemoteListenerTest : public ::testing::Test
{
protected:
    FakeReceiver* plug(const QString& path = QStringLiteral("/dev/input/event90"))
    {
        auto device = std::make_unique<FakeReceiver>(path);
        FakeReceiver* raw = device.get();
        listener.addDevice(std::move(device));
        return raw;
    }
    // Plays the steps a few milliseconds apart, as a remote sends them.
    QStringList play(FakeReceiver* receiver, const QList<Step>& steps)
    {
        recorder.calls.clear();
        for (const Step& step : steps) {
            receiver->key(step.code, step.value);
            QTest::qWait(3);
        }
        QTest::qWait(30);
        return recorder.calls;
    }

    Recorder recorder;
    QVAppleRemoteListener listener { &recorder };
};
} // namespace

TEST_F(QVAppleRemoteListenerTest, KeysBecomePressesHoldsAndReleases)
{
    struct Case {
        const char* what;
        QList<Step> steps;
        QStringList calls;
    };
    const Case cases[] = {
        { "play acts at key-down, once however long it is held",
            { { KEY_PLAYPAUSE, 1 }, { KEY_PLAYPAUSE, 2 }, { KEY_PLAYPAUSE, 2 }, { KEY_PLAYPAUSE, 0 } },
            { "press 3" } },
        { "next held acts once at the first repeat and ends at key-up",
            { { KEY_FORWARD, 1 }, { KEY_FORWARD, 2 }, { KEY_FORWARD, 2 }, { KEY_FORWARD, 0 } },
            { "press 4 hold", "release 4" } },
        { "next tapped acts at key-up; a hold ends only on its own key's release",
            { { KEY_VOLUMEUP, 1 }, { KEY_NEXT, 1 }, { KEY_NEXT, 0 }, { KEY_VOLUMEUP, 2 },
                { KEY_VOLUMEUP, 0 } },
            { "press 0 hold", "press 4", "release 0" } },
        { "other keys and stray releases are ignored",
            { { KEY_A, 1 }, { KEY_A, 0 }, { KEY_VOLUMEUP, 0 }, { KEY_NEXT, 2 } }, {} },
    };
    FakeReceiver* receiver = plug();
    ASSERT_TRUE(listener.IsListening());
    for (const Case& c : cases)
        EXPECT_EQ(play(receiver, c.steps), c.calls) << c.what;
}

TEST_F(QVAppleRemoteListenerTest, DroppedEventsAreCaughtUpFromTheKernelsState)
{
    FakeReceiver* receiver = plug();
    receiver->kernelKeysDown = { KEY_VOLUMEUP };
    receiver->key(KEY_VOLUMEUP, 1);
    // The kernel's buffer overflowed: what follows up to the next report is
    // partial, and meanwhile volume up was let go and play went down.
    receiver->write(EV_SYN, SYN_DROPPED, 0);
    receiver->write(EV_KEY, KEY_MENU, 1);
    receiver->kernelKeysDown = { KEY_PLAYPAUSE };
    receiver->write(EV_SYN, SYN_REPORT, 0);
    ASSERT_TRUE(QVWaitUntil([&] { return recorder.calls.size() >= 3; }, 2000));
    QTest::qWait(30);
    EXPECT_EQ(recorder.calls, (QStringList { "press 0 hold", "release 0", "press 3" }));
}

TEST_F(QVAppleRemoteListenerTest, ReceiversComeAndGoAndAVanishedHoldEnds)
{
    EXPECT_FALSE(listener.IsListening());
    FakeReceiver* first = plug(QStringLiteral("/dev/input/event90"));
    FakeReceiver* second = plug(QStringLiteral("/dev/input/event91"));
    EXPECT_TRUE(listener.IsListening());

    // Unplugged mid-hold (ENODEV): its key-up never comes, the hold ends anyway.
    EXPECT_EQ(play(first, { { KEY_VOLUMEDOWN, 1 } }), QStringList { "press 1 hold" });
    recorder.calls.clear();
    first->unplug();
    ASSERT_TRUE(QVWaitUntil([&] { return !recorder.calls.isEmpty(); }, 2000));
    EXPECT_EQ(recorder.calls, QStringList { "release 1" });
    EXPECT_TRUE(listener.IsListening());

    // The other one goes on by itself; removed by the monitor mid-hold, it ends its hold too.
    EXPECT_EQ(play(second, { { KEY_NEXT, 1 }, { KEY_NEXT, 2 } }), QStringList { "press 4 hold" });
    recorder.calls.clear();
    listener.removeDevice(QStringLiteral("/dev/input/event91"));
    QTest::qWait(10);
    EXPECT_EQ(recorder.calls, QStringList { "release 4" });
    EXPECT_FALSE(listener.IsListening());
}

// An Apple receiver and a TV card's rc-core one are taken; an Apple keyboard is not.
TEST(QVAppleRemoteListenerReceivers, OnlyInfraredReceiversAreTaken)
{
    EXPECT_TRUE(QVAppleRemoteListener::isReceiver({ QString(), 0x05ac, 0x8242, false }));
    EXPECT_TRUE(QVAppleRemoteListener::isReceiver({ QString(), 0, 0, true }));
    EXPECT_FALSE(QVAppleRemoteListener::isReceiver({ QString(), 0x05ac, 0x0250, false }));
}
