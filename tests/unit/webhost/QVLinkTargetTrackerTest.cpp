#include "QVLinkTargetTracker.h"
#include "QVLogCapture.h"
#include "QVNavigationController.h"

#include <gtest/gtest.h>

namespace {
const QString kHelp = QStringLiteral("http://www.quiv.example/help/");

struct QVLinkTargetTrackerTest : ::testing::Test {
    qint64 now = 1000;
    QVLinkTargetTracker tracker { [this] { return now; } };
};
} // namespace

TEST_F(QVLinkTargetTrackerTest, TheNameHoldsForTheSameAddressForAMoment)
{
    EXPECT_EQ(tracker.targetFor(QUrl(kHelp)), "_blank"); // nothing reported yet
    tracker.report({ "quivhelp", kHelp });
    EXPECT_EQ(tracker.targetFor(QUrl(kHelp)), "quivhelp");
    // A double click asks twice.
    EXPECT_EQ(tracker.targetFor(QUrl(kHelp)), "quivhelp");
    EXPECT_EQ(tracker.targetFor(QUrl("http://www.quiv.example/help/other")), "_blank");
    EXPECT_EQ(tracker.targetFor(QUrl("https://www.quiv.example/help/")), "_blank");

    now += QVLinkTargetTracker::kLifetime;
    EXPECT_EQ(tracker.targetFor(QUrl(kHelp)), "quivhelp");
    now += 1;
    EXPECT_EQ(tracker.targetFor(QUrl(kHelp)), "_blank");

    // A later click replaces the earlier one; a clock that went back counts
    // nothing.
    tracker.report({ "first", kHelp });
    tracker.report({ "second", "http://www.quiv.example/about/" });
    EXPECT_EQ(tracker.targetFor(QUrl(kHelp)), "_blank");
    EXPECT_EQ(tracker.targetFor(QUrl("http://www.quiv.example/about/")), "second");
    now -= 10;
    EXPECT_EQ(tracker.targetFor(QUrl("http://www.quiv.example/about/")), "_blank");

    // "_blank" in any case is the default, not a window of that name.
    now += 10;
    tracker.report({ "_BLANK", kHelp });
    EXPECT_EQ(tracker.targetFor(QUrl(kHelp)), "_blank");
}

TEST_F(QVLinkTargetTrackerTest, BadReportsAreDroppedWithOneLineEach)
{
    tracker.report({ "quivhelp", kHelp });
    const QString longest(QVLinkTargetTracker::kMaxNameLength, 'n');
    const QString longURL = "http://www.quiv.example/" + QString(QVNavigationController::kMaxURLLength, 'a');
    const QList<QVariantList> bad {
        {},
        { "name" },
        { "name", kHelp, "extra" },
        { 42, kHelp },
        { QVariantList { "name" }, kHelp },
        { QVariantMap { { "toString", "name" } }, kHelp },
        { "name", QVariantMap { { "href", kHelp } } },
        { "", kHelp },
        { longest + 'n', kHelp },
        { "name", longURL },
        { "name", "/help/" },
        { "name", "http://www.quiv.example/%zz" },
    };
    QVLogCapture log;
    for (const QVariantList& arguments : bad)
        tracker.report(arguments);
    EXPECT_EQ(log.lines().size(), bad.size()) << qPrintable(log.lines().join('\n'));
    // Each left the last good report in place.
    EXPECT_EQ(tracker.targetFor(QUrl(kHelp)), "quivhelp");

    // The longest name we keep is kept.
    tracker.report({ longest, kHelp });
    EXPECT_EQ(tracker.targetFor(QUrl(kHelp)), longest);
}
