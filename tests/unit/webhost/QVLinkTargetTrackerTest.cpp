#include "QVLinkTargetTracker.h"
#include "QVLogCapture.h"
#include "QVNavigationController.h"

#include <gtest/gtest.h>

TEST(QVLinkTargetTracker, TheNameHoldsOnlyForTheSameAddressForAMomentAndBadReportsAreDropped)
{
    qint64 now = 1000;
    QVLinkTargetTracker tracker([&] { return now; });
    const QString help = "http://www.quiv.example/help/";
    EXPECT_EQ(tracker.targetFor(QUrl(help)), "_blank"); // nothing reported yet
    tracker.report({ "quivhelp", help });
    now += QVLinkTargetTracker::kLifetime;
    EXPECT_EQ(tracker.targetFor(QUrl(help)), "quivhelp");
    EXPECT_EQ(tracker.targetFor(QUrl(help)), "quivhelp"); // a double click asks twice
    EXPECT_EQ(tracker.targetFor(QUrl("https://www.quiv.example/help/")), "_blank");
    EXPECT_EQ(tracker.targetFor(QUrl(help + "x")), "_blank");

    const QString longest(QVLinkTargetTracker::kMaxNameLength, 'n');
    const QList<QVariantList> bad { {}, { 42, help }, { "", help }, { longest + 'n', help },
        { "name", help + QString(QVNavigationController::kMaxURLLength, 'a') }, { "name", "/help/" } };
    QVLogCapture log;
    for (const QVariantList& arguments : bad)
        tracker.report(arguments);
    EXPECT_EQ(log.lines().size(), bad.size()) << qPrintable(log.lines().join('\n'));
    EXPECT_EQ(tracker.targetFor(QUrl(help)), "quivhelp"); // the last good one stands
    now += 1;
    EXPECT_EQ(tracker.targetFor(QUrl(help)), "_blank"); // too old

    // A later click replaces the earlier one; "_blank" in any case is no name.
    tracker.report({ longest, help });
    EXPECT_EQ(tracker.targetFor(QUrl(help)), longest);
    tracker.report({ "_BLANK", help });
    EXPECT_EQ(tracker.targetFor(QUrl(help)), "_blank");
}
