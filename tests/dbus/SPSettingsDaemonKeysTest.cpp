#include "SPSettingsDaemonKeys.h"
#include "QVFakeSettingsDaemon.h"
#include "QVTestWait.h"
#include "SPMediaKeyTap.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>

#include <memory>

namespace {
constexpr char kOurs[] = "com.quiv.desktop";

class RecordingDelegate : public SPMediaKeyTapDelegate
{
public:
    void mediaKeyTapReceivedMediaKeyEvent(SPMediaKeyTap*, const SPMediaKeyEvent& event) override
    {
        codes.append(int(event.data1 >> 16));
        EXPECT_EQ(event.data1 & 0xFFFFu, 0x0A00u) << "each daemon key is one key-down";
    }
    QList<int> codes;
};

const QString kGnome = QStringLiteral("org.gnome.SettingsDaemon.MediaKeys");
const QString kGnomePath = QStringLiteral("/org/gnome/SettingsDaemon/MediaKeys");
const QString kOldGnome = QStringLiteral("org.gnome.SettingsDaemon");
const QString kMate = QStringLiteral("org.mate.SettingsDaemon");
const QString kMatePath = QStringLiteral("/org/mate/SettingsDaemon/MediaKeys");

std::unique_ptr<SPMediaKeyTap> startTap(RecordingDelegate* delegate, SPMediaKeyTap::Backend expected)
{
    SPMediaKeyTap::Environment environment; // the private bus, no display
    auto tap = std::make_unique<SPMediaKeyTap>(delegate, environment);
    QSignalSpy chosen(tap.get(), &SPMediaKeyTap::backendChosen);
    tap->startWatchingMediaKeys();
    EXPECT_TRUE(QVWaitUntil([&] { return chosen.count() > 0; }, 5000));
    EXPECT_EQ(tap->backend(), expected);
    return tap;
}
} // namespace

TEST(SPSettingsDaemonKeysTest, OursAreTakenOthersAndUnknownNamesAreNotAndARestartIsGrabbedAgain)
{
    auto daemon = std::make_unique<QVFakeSettingsDaemon>(kGnome, kGnomePath, QStringLiteral("gsd"));
    RecordingDelegate delegate;
    auto tap = startTap(&delegate, SPMediaKeyTap::Backend::SettingsDaemon);
    EXPECT_EQ(daemon->calls, QStringList { QStringLiteral("GrabMediaPlayerKeys(com.quiv.desktop)") });
    EXPECT_TRUE(SPMediaKeyTap::usesGlobalMediaKeyTap());

    for (const char* key :
        { "Play", "Pause", "Next", "Previous", "FastForward", "Rewind", "Stop", "Eject", "" })
        daemon->press(kOurs, QString::fromLatin1(key));
    daemon->press(QStringLiteral("org.gnome.Rhythmbox3"), QStringLiteral("Play"));
    daemon->press(QString(kOurs) + QStringLiteral("x"), QStringLiteral("Next"));
    daemon->press(kOurs, QStringLiteral("Play"));
    ASSERT_TRUE(QVWaitUntil([&] { return delegate.codes.size() >= 7; }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(delegate.codes, (QList<int> { 16, 16, 17, 18, 19, 20, 16 }));

    // Another program sending the daemon's signal is not the daemon.
    QVFakeSettingsDaemon impostor(
        QStringLiteral("org.example.Impostor"), kGnomePath, QStringLiteral("impostor"));
    impostor.press(kOurs, QStringLiteral("Play"));
    QTest::qWait(200);
    EXPECT_EQ(delegate.codes.size(), 7);

    // The daemon restarts: grabbed again, and its keys count once the grab's
    // answer has named the new owner.
    daemon.reset();
    daemon = std::make_unique<QVFakeSettingsDaemon>(kGnome, kGnomePath, QStringLiteral("gsd-2"));
    ASSERT_TRUE(QVWaitUntil([&] { return !daemon->calls.isEmpty(); }, 5000));
    EXPECT_EQ(daemon->calls, QStringList { QStringLiteral("GrabMediaPlayerKeys(com.quiv.desktop)") });
    delegate.codes.clear();
    ASSERT_TRUE(QVWaitUntil(
        [&] {
            daemon->press(kOurs, QStringLiteral("Next"));
            QTest::qWait(20);
            return !delegate.codes.isEmpty();
        },
        5000));
    EXPECT_EQ(delegate.codes.first(), 17);

    tap->stopWatchingMediaKeys();
    EXPECT_TRUE(QVWaitUntil(
        [&] { return daemon->calls.last() == QStringLiteral("ReleaseMediaPlayerKeys(com.quiv.desktop)"); },
        5000));
}

TEST(SPSettingsDaemonKeysTest, TheFirstDaemonThatTakesTheGrabWins)
{
    struct Case {
        const char* what;
        bool gnomeRefuses;
        bool withOldGnome;
        bool withMate;
        const char* expectedHolder; // empty: none
    };
    const Case cases[] = {
        { "older GNOME and Cinnamon", false, true, false, "old" },
        { "MATE", false, false, true, "mate" },
        { "a refusing daemon falls through to the next", true, false, true, "mate" },
        { "every daemon refuses", true, false, false, "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QVFakeSettingsDaemon gnome(kGnome, kGnomePath, QStringLiteral("gsd"), c.gnomeRefuses);
        std::unique_ptr<QVFakeSettingsDaemon> old;
        std::unique_ptr<QVFakeSettingsDaemon> mate;
        if (c.withOldGnome)
            old = std::make_unique<QVFakeSettingsDaemon>(kOldGnome, kGnomePath, QStringLiteral("old-gsd"));
        if (c.withMate)
            mate = std::make_unique<QVFakeSettingsDaemon>(kMate, kMatePath, QStringLiteral("msd"));
        if (!c.gnomeRefuses)
            gnome.bus.unregisterService(kGnome); // only the older names are on the bus

        RecordingDelegate delegate;
        const bool held = *c.expectedHolder != '\0';
        auto tap = startTap(
            &delegate, held ? SPMediaKeyTap::Backend::SettingsDaemon : SPMediaKeyTap::Backend::None);
        EXPECT_EQ(SPMediaKeyTap::usesGlobalMediaKeyTap(), held);
        QVFakeSettingsDaemon* holder = QByteArray(c.expectedHolder) == "old" ? old.get() : mate.get();
        if (!held)
            continue;
        holder->press(kOurs, QStringLiteral("Previous"));
        ASSERT_TRUE(QVWaitUntil([&] { return !delegate.codes.isEmpty(); }, 5000));
        EXPECT_EQ(delegate.codes, QList<int> { 18 });
    }
}

TEST(SPSettingsDaemonKeysTest, GlobalShortcutsOfTheDesktopMeanNoGrab)
{
    QVFakeSettingsDaemon daemon(kGnome, kGnomePath, QStringLiteral("gsd"));
    QDBusConnection kde = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("kde"));
    ASSERT_TRUE(kde.registerService(QStringLiteral("org.kde.kglobalaccel")));
    RecordingDelegate delegate;
    auto tap = startTap(&delegate, SPMediaKeyTap::Backend::DesktopRoutesToPlayers);
    QTest::qWait(100);
    EXPECT_TRUE(daemon.calls.isEmpty());
    EXPECT_FALSE(SPMediaKeyTap::usesGlobalMediaKeyTap());
    kde.unregisterService(QStringLiteral("org.kde.kglobalaccel"));
    QDBusConnection::disconnectFromBus(QStringLiteral("kde"));
}
