#include "SPMediaKeyTap.h"
#include "QVConstants.h"
#include "QVTestWait.h"
#include "QVUserDefaults.h"
#include "QVXvfb.h"
#include "SPInvocationGrabber.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThread>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace {

class RecordingDelegate : public SPMediaKeyTapDelegate
{
public:
    void mediaKeyTapReceivedMediaKeyEvent(SPMediaKeyTap*, const SPMediaKeyEvent& event) override
    {
        events.append(event.data1);
        offMainThread += QThread::currentThread() != QCoreApplication::instance()->thread();
    }
    QList<quint32> events;
    int offMainThread = 0;
};

QDBusConnection noBus()
{
    return QDBusConnection::connectToBus(
        QStringLiteral("unix:path=/nonexistent/bus"), QStringLiteral("no-bus"));
}

// The test's own X client: makes windows, sets root properties, grabs keys.
class XClient
{
public:
    explicit XClient(const QByteArray& display)
        : c(xcb_connect(display.constData(), nullptr))
    {
        root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    }
    ~XClient() { xcb_disconnect(c); }

    xcb_atom_t atom(const char* name)
    {
        xcb_intern_atom_reply_t* reply
            = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t atom = reply ? reply->atom : XCB_NONE;
        std::free(reply);
        return atom;
    }
    xcb_window_t window(const QByteArray& wmClass, quint32 pid)
    {
        const xcb_window_t window = xcb_generate_id(c);
        xcb_create_window(c, XCB_COPY_FROM_PARENT, window, root, 0, 0, 10, 10, 0,
            XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
            uint32_t(wmClass.size()), wmClass.constData());
        xcb_change_property(
            c, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
        xcb_flush(c);
        return window;
    }
    void setClientList(const QList<xcb_window_t>& windows)
    {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, root, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW, 32,
            uint32_t(windows.size()), windows.constData());
        xcb_flush(c);
    }
    void activate(xcb_window_t window)
    {
        xcb_change_property(
            c, XCB_PROP_MODE_REPLACE, root, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 32, 1, &window);
        xcb_flush(c);
    }
    // Holds XF86AudioPlay the way another player would.
    bool grabPlayKey()
    {
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(c);
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, 0x1008FF14);
        bool ok = codes && *codes != XCB_NO_SYMBOL;
        for (xcb_keycode_t* code = codes; ok && *code != XCB_NO_SYMBOL; ++code) {
            xcb_generic_error_t* error = xcb_request_check(c,
                xcb_grab_key_checked(
                    c, 1, root, XCB_MOD_MASK_ANY, *code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
            ok = !error;
            std::free(error);
        }
        std::free(codes);
        xcb_key_symbols_free(symbols);
        return ok;
    }
    xcb_connection_t* c;
    xcb_window_t root;
};

class SPMediaKeyTapX11Test : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!xvfb.isRunning() || QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "needs Xvfb and xdotool";
    }
    std::unique_ptr<SPMediaKeyTap> startTap()
    {
        SPMediaKeyTap::Environment environment;
        environment.bus = noBus();
        environment.display = xvfb.display();
        environment.userDefaults = &defaults;
        auto tap = std::make_unique<SPMediaKeyTap>(&delegate, environment);
        tap->startWatchingMediaKeys();
        return tap;
    }
    bool pressPlay()
    {
        return xvfb.run(
            QStringLiteral("xdotool"), { QStringLiteral("key"), QStringLiteral("XF86AudioPlay") });
    }

    QVXvfb xvfb;
    QTemporaryDir dir;
    QVUserDefaults defaults { dir.filePath(QStringLiteral("Quiv.conf")) };
    RecordingDelegate delegate;
};
} // namespace

// A throw on the tap thread must not cross Qt's event loop.
TEST(SPInvocationGrabberTest, AThrowStaysInside)
{
    auto throwing = SPInvocationGrabber::grab([] { throw std::runtime_error("tap thread failure"); });
    bool answered = true;
    EXPECT_NO_THROW(answered = throwing->invoke());
    EXPECT_FALSE(answered);
}

TEST(SPMediaKeyTapTest, NoBusNoDisplayOrWaylandLeaveKeysToOurWindows)
{
    RecordingDelegate delegate;
    SPMediaKeyTap::Environment environment;
    environment.bus = noBus();
    SPMediaKeyTap tap(&delegate, environment);
    tap.startWatchingMediaKeys();
    EXPECT_EQ(tap.backend(), SPMediaKeyTap::Backend::None);
    EXPECT_FALSE(SPMediaKeyTap::usesGlobalMediaKeyTap());

    // Wayland: the desktop sends keys to MPRIS players, and we take nothing.
    environment.waylandSession = true;
    SPMediaKeyTap wayland(&delegate, environment);
    wayland.startWatchingMediaKeys();
    EXPECT_EQ(wayland.backend(), SPMediaKeyTap::Backend::DesktopRoutesToPlayers);
}

TEST_F(SPMediaKeyTapX11Test, AKeyPressReachesTheDelegateOnTheMainThreadUnlessAnotherProgramHoldsIt)
{
    // Restarted: the old tap thread is joined before its connection goes, and the new one works.
    auto tap = startTap();
    tap->startWatchingMediaKeys();
    ASSERT_EQ(tap->backend(), SPMediaKeyTap::Backend::X11KeyGrab);
    ASSERT_TRUE(pressPlay());
    ASSERT_TRUE(QVWaitUntil([&] { return delegate.events.size() >= 2; }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(delegate.events,
        (QList<quint32> { SPMediaKeyEvent::keyDown(16).data1, SPMediaKeyEvent::keyUp(16).data1 }));
    EXPECT_EQ(delegate.offMainThread, 0);

    // The user turned media keys off.
    QVUserDefaults* standard = QVUserDefaults::standardUserDefaults();
    const QString ignore = QString::fromLatin1(QVIgnoreMediaKeysKey);
    EXPECT_TRUE(SPMediaKeyTap::usesGlobalMediaKeyTap());
    standard->setValue(true, ignore);
    EXPECT_FALSE(SPMediaKeyTap::usesGlobalMediaKeyTap());
    standard->removeObjectForKey(ignore);

    // Stopped: the key is free for others. Started while another holds it: left to that program.
    tap->stopWatchingMediaKeys();
    XClient other(xvfb.display());
    ASSERT_TRUE(other.grabPlayKey());
    delegate.events.clear();
    tap->startWatchingMediaKeys();
    ASSERT_EQ(tap->backend(), SPMediaKeyTap::Backend::X11KeyGrab);
    ASSERT_TRUE(pressPlay());
    QTest::qWait(300);
    EXPECT_TRUE(delegate.events.isEmpty());
}

TEST_F(SPMediaKeyTapX11Test, TheActiveWindowDecidesWhoHasTheKeys)
{
    XClient desktop(xvfb.display());
    const xcb_window_t ours = desktop.window(QByteArray("quiv\0Quiv\0", 10), quint32(::getpid()));
    const xcb_window_t player = desktop.window(QByteArray("vlc\0Vlc\0", 8), 4242);
    const xcb_window_t terminal = desktop.window(QByteArray("xterm\0XTerm\0", 12), 4343);
    desktop.setClientList({ ours, player, terminal });

    auto tap = startTap();
    ASSERT_EQ(tap->backend(), SPMediaKeyTap::Backend::X11KeyGrab);
    EXPECT_TRUE(tap->shouldInterceptMediaKeyEvents());

    desktop.activate(player);
    ASSERT_TRUE(QVWaitUntil([&] { return !tap->shouldInterceptMediaKeyEvents(); }, 5000));
    // Let go on the tap thread: the key now reaches whoever wants it, not us.
    const int calls = tap->scheduledTapCallCount();
    ASSERT_TRUE(QVWaitUntil(
        [&] {
            XClient probe(xvfb.display());
            return probe.grabPlayKey();
        },
        5000));
    ASSERT_TRUE(pressPlay());
    QTest::qWait(200);
    EXPECT_TRUE(delegate.events.isEmpty());

    desktop.activate(ours);
    ASSERT_TRUE(QVWaitUntil([&] { return tap->shouldInterceptMediaKeyEvents(); }, 5000));
    EXPECT_EQ(tap->scheduledTapCallCount(), calls + 1);
    // Setting the flag to what it is schedules nothing on the tap thread.
    tap->setShouldInterceptMediaKeyEvents(true);
    EXPECT_EQ(tap->scheduledTapCallCount(), calls + 1);

    // A program not in the list changes nothing.
    desktop.activate(terminal);
    QTest::qWait(200);
    EXPECT_TRUE(tap->shouldInterceptMediaKeyEvents());

    // The player's last window goes while it has the keys: we are next in the list.
    desktop.activate(player);
    ASSERT_TRUE(QVWaitUntil([&] { return !tap->shouldInterceptMediaKeyEvents(); }, 5000));
    desktop.setClientList({ ours, terminal });
    EXPECT_TRUE(QVWaitUntil([&] { return tap->shouldInterceptMediaKeyEvents(); }, 5000));
}
