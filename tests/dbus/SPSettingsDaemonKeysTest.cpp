#include "SPSettingsDaemonKeys.h"
#include "QVFakeSettingsDaemon.h"
#include "QVTestWait.h"
#include "SPMediaKeyTap.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
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

    // Other applications' keys, unknown keys, and another program sending the daemon's signal: nothing.
    QVFakeSettingsDaemon impostor(
        QStringLiteral("org.example.Impostor"), kGnomePath, QStringLiteral("impostor"));
    for (const char* key : { "Play", "Pause", "Next", "Previous", "FastForward", "Rewind", "Stop", "" })
        daemon->press(kOurs, QString::fromLatin1(key));
    daemon->press(QStringLiteral("org.gnome.Rhythmbox3"), QStringLiteral("Play"));
    daemon->press(QString(kOurs) + QStringLiteral("x"), QStringLiteral("Next"));
    impostor.press(kOurs, QStringLiteral("Play"));
    daemon->press(kOurs, QStringLiteral("Play"));
    ASSERT_TRUE(QVWaitUntil([&] { return delegate.codes.size() >= 7; }, 5000));
    QTest::qWait(200);
    EXPECT_EQ(delegate.codes, (QList<int> { 16, 16, 17, 18, 19, 20, 16 }));

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

// A daemon that refuses the grab falls through to the next (here MATE's), else to none.
TEST(SPSettingsDaemonKeysTest, TheFirstDaemonThatTakesTheGrabWins)
{
    for (const bool withMate : { true, false }) {
        SCOPED_TRACE(withMate);
        QVFakeSettingsDaemon gnome(kGnome, kGnomePath, QStringLiteral("gsd"), true);
        std::unique_ptr<QVFakeSettingsDaemon> other;
        if (withMate)
            other = std::make_unique<QVFakeSettingsDaemon>(kMate, kMatePath, QStringLiteral("msd"));
        RecordingDelegate delegate;
        auto tap = startTap(
            &delegate, other ? SPMediaKeyTap::Backend::SettingsDaemon : SPMediaKeyTap::Backend::None);
        EXPECT_EQ(SPMediaKeyTap::usesGlobalMediaKeyTap(), bool(other));
        if (!other)
            continue;
        other->press(kOurs, QStringLiteral("Previous"));
        ASSERT_TRUE(QVWaitUntil([&] { return !delegate.codes.isEmpty(); }, 5000));
        EXPECT_EQ(delegate.codes, QList<int> { 18 });
    }
}
