#include "QVMainPlayerWindow2.h"
#include "QVConstants.h"
#include "QVFloatingTitlebarView.h"
#include "QVNotificationCenter.h"
#include "QVTestDefaults.h"
#include "QVTrafficLightView.h"
#include "QVUIConstantsService.h"
#include "QVWebNavigationService.h"

#include <gtest/gtest.h>

#include <QTest>

namespace {

class QVMainPlayerWindow2Test : public ::testing::Test
{
protected:
    QVMainPlayerWindow2Test()
        : constants(&center, defaults.get(), "10.10")
        , navigation(&center, &constants)
        , window(nullptr, &navigation, defaults.get())
    {
    }

    QVNotificationCenter center;
    QVTestDefaults defaults;
    QVUIConstantsService constants;
    QVWebNavigationService navigation;
    QVMainPlayerWindow2 window;
};

} // namespace

// Sign-in layout fixed and never saved; signing in restores the saved frame
// (a corrupt one gives a usable size) and saves changes; signing out keeps it.
TEST_F(QVMainPlayerWindow2Test, LayoutsFollowSignInAndTheFrameIsSavedOnlyWhenSignedIn)
{
    window.show();
    window.setFrame(QRect(0, 0, 1200, 900), true);
    EXPECT_EQ(window.size(), QVMainPlayerWindow2::kLoginSize);
    EXPECT_FALSE(window.supportsFullScreenMode());
    window.saveFrameUsingName(QVMainPlayerWindow2::kFrameAutosaveName);
    EXPECT_FALSE(defaults->objectForKey(window.frameDefaultsKey()).isValid());

    defaults->setValue("garbage", window.frameDefaultsKey());
    window.onUserLoggedIn();
    EXPECT_GE(window.width(), QVMainPlayerWindow2::kMinimumSize.width());
    EXPECT_GE(window.height(), QVMainPlayerWindow2::kMinimumSize.height());
    window.onUserLoggedOut();

    defaults->setValue("{{30, 40}, {1000, 700}}", window.frameDefaultsKey());
    window.onUserLoggedIn();
    EXPECT_TRUE(window.windowCanResize());
    EXPECT_EQ(window.geometry(), QRect(30, 40, 1000, 700));
    window.setFrame(QRect(50, 60, 1100, 720), true);
    EXPECT_EQ(defaults->stringForKey(window.frameDefaultsKey()), "{{50, 60}, {1100, 720}}");

    window.onUserLoggedOut();
    EXPECT_EQ(window.size(), QVMainPlayerWindow2::kLoginSize);
    EXPECT_FALSE(window.windowCanResize());
    EXPECT_EQ(defaults->stringForKey(window.frameDefaultsKey()), "{{50, 60}, {1100, 720}}");

    // The offline overlay covers the sign-in layout only.
    window.showNoConnectionOverlay();
    EXPECT_TRUE(window.isNoConnectionOverlayVisible());
    window.hideNoConnectionOverlay();
    EXPECT_FALSE(window.isNoConnectionOverlayVisible());
    window.onUserLoggedIn();
    window.showNoConnectionOverlay();
    EXPECT_FALSE(window.isNoConnectionOverlayVisible());
}

TEST_F(QVMainPlayerWindow2Test, AltFullScreenAndTheFloatingTitleBar)
{
    window.show();
    QTest::keyPress(&window, Qt::Key_Alt, Qt::AltModifier);
    EXPECT_TRUE(window.titlebarView()->trafficLightsView()->isAltActive());
    QTest::keyRelease(&window, Qt::Key_Alt);
    EXPECT_FALSE(window.titlebarView()->trafficLightsView()->isAltActive());

    window.onUserLoggedIn();
    window.adjustForFullScreenMode();
    EXPECT_TRUE(defaults->boolForKey(QVWindowWasPreviouslyFullScreenKey));
    EXPECT_TRUE(window.titlebarView()->isFullscreen());
    window.adjustForRegularScreenMode();
    EXPECT_FALSE(defaults->boolForKey(QVWindowWasPreviouslyFullScreenKey));
    EXPECT_FALSE(window.titlebarView()->isFullscreen());

    // The title bar lies over the page's header, not above it; the window keeps
    // square bottom corners and rounds its top ones, except maximised.
    QVFloatingTitlebarView* bar = window.titlebarView();
    ASSERT_EQ(bar->parentWidget(), window.webView()->parentWidget());
    EXPECT_EQ(bar->geometry().topLeft(), window.webView()->geometry().topLeft());
    EXPECT_FALSE(bar->isInLoadingMode());

    const QRegion mask = window.mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_FALSE(mask.contains(QPoint(window.width() - 1, 0)));
    EXPECT_TRUE(mask.contains(QPoint(0, window.height() - 1)));
    EXPECT_TRUE(mask.contains(QPoint(window.width() / 2, 0)));
    window.showMaximized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.mask().isEmpty());
    EXPECT_EQ(bar->width(), window.webView()->width());
}
