#include "QVAppleRemoteListener.h"
#include "QVAppleRemoteListenerDelegate.h"
#include "QVEvdevDevice.h"
#include "QVTestWait.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include <cstring>
#include <fcntl.h>
#include <linux/uinput.h>
#include <set>
#include <sys/ioctl.h>
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
        { "volume up is a hold from its key-down to its key-up",
            { { KEY_VOLUMEUP, 1 }, { KEY_VOLUMEUP, 2 }, { KEY_VOLUMEUP, 2 }, { KEY_VOLUMEUP, 0 } },
            { "press 0 hold", "release 0" } },
        { "play acts at key-down, once however long it is held",
            { { KEY_PLAYPAUSE, 1 }, { KEY_PLAYPAUSE, 2 }, { KEY_PLAYPAUSE, 2 }, { KEY_PLAYPAUSE, 0 } },
            { "press 3" } },
        { "next tapped acts at key-up", { { KEY_NEXTSONG, 1 }, { KEY_NEXTSONG, 0 } }, { "press 4" } },
        { "next held acts once at the first repeat and ends at key-up",
            { { KEY_FORWARD, 1 }, { KEY_FORWARD, 2 }, { KEY_FORWARD, 2 }, { KEY_FORWARD, 0 } },
            { "press 4 hold", "release 4" } },
        { "previous", { { KEY_PREVIOUSSONG, 1 }, { KEY_PREVIOUSSONG, 0 } }, { "press 5" } },
        { "a hold ends only on its own key's release",
            { { KEY_VOLUMEUP, 1 }, { KEY_NEXT, 1 }, { KEY_NEXT, 0 }, { KEY_VOLUMEUP, 2 }, { KEY_VOLUMEUP, 0 },
                { KEY_VOLUMEUP, 1 }, { KEY_VOLUMEUP, 0 } },
            { "press 0 hold", "press 4", "release 0", "press 0 hold", "release 0" } },
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

TEST(QVAppleRemoteListenerReceivers, OnlyInfraredReceiversAreTaken)
{
    struct Case {
        int vendor;
        int product;
        bool belowRemoteControl;
        bool receiver;
    };
    const Case cases[] = {
        { 0x05ac, 0x8242, false, true }, { 0x05ac, 0x8244, false, false },
        { 0x05ac, 0x0250, false, false }, // an Apple keyboard
        { 0x0000, 0x0000, true, true }, // a TV card's rc-core receiver
    };
    for (const Case& c : cases)
        EXPECT_EQ(QVAppleRemoteListener::isReceiver({ QString(), c.vendor, c.product, c.belowRemoteControl }),
            c.receiver)
            << std::hex << c.vendor << ":" << c.product;
}

namespace {
// A uinput device with the given id and keys; -1 when uinput is not to be had.
int makeUinputDevice(int vendor, int product, const char* name)
{
    const int fd = ::open("/dev/uinput", O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    ::ioctl(fd, UI_SET_EVBIT, EV_KEY);
    for (int key : { KEY_PLAYPAUSE, KEY_VOLUMEUP, KEY_A })
        ::ioctl(fd, UI_SET_KEYBIT, key);
    uinput_setup setup {};
    setup.id.bustype = BUS_USB;
    setup.id.vendor = quint16(vendor);
    setup.id.product = quint16(product);
    std::strncpy(setup.name, name, UINPUT_MAX_NAME_SIZE - 1);
    if (::ioctl(fd, UI_DEV_SETUP, &setup) < 0 || ::ioctl(fd, UI_DEV_CREATE) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}
} // namespace

TEST(QVAppleRemoteListenerUinput, AFakeReceiverIsTakenAndAKeyboardLeftAlone)
{
    if (::access("/dev/uinput", W_OK) != 0)
        GTEST_SKIP() << "/dev/uinput is not writable here";
    const int remote = makeUinputDevice(0x05ac, 0x8242, "Quiv test IR receiver");
    const int keyboard = makeUinputDevice(0x046d, 0xc31c, "Quiv test keyboard");
    ASSERT_GE(remote, 0);
    ASSERT_GE(keyboard, 0);
    Recorder recorder;
    QVAppleRemoteListener listener(&recorder);
    listener.startListening();
    EXPECT_TRUE(QVWaitUntil([&] { return listener.IsListening(); }, 5000));

    auto send = [](int fd, int code) {
        for (int value : { 1, 0 }) {
            input_event events[2] = {};
            events[0].type = EV_KEY;
            events[0].code = quint16(code);
            events[0].value = value;
            events[1].type = EV_SYN;
            [[maybe_unused]] const ssize_t written = ::write(fd, events, sizeof events);
        }
    };
    send(keyboard, KEY_PLAYPAUSE);
    send(remote, KEY_PLAYPAUSE);
    EXPECT_TRUE(QVWaitUntil([&] { return !recorder.calls.isEmpty(); }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(recorder.calls, QStringList { "press 3" });
    ::ioctl(remote, UI_DEV_DESTROY);
    ::ioctl(keyboard, UI_DEV_DESTROY);
    ::close(remote);
    ::close(keyboard);
    EXPECT_TRUE(QVWaitUntil([&] { return !listener.IsListening(); }, 5000));
}
