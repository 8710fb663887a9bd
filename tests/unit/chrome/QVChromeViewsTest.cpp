#include "../controls/QVControlsTestSupport.h"
#include "QVBrowserOverlayView.h"
#include "QVConstants.h"
#include "QVFakeWebView.h"
#include "QVFloatingTitlebarView.h"
#include "QVLoadingWindowView.h"
#include "QVLogCapture.h"
#include "QVMainPlayerWindow2.h"
#include "QVMiniPlayerWindowButtonsView.h"
#include "QVNotificationCenter.h"
#include "QVPushButton.h"
#include "QVTestDefaults.h"
#include "QVTitlebarVisorView.h"
#include "QVTrafficLightView.h"
#include "QVUIConstantsService.h"
#include "QVWebNavigationService.h"

#include <gtest/gtest.h>

#include <QCursor>
#include <QTest>

using namespace QVControlsTest;

namespace {

// The button's picture against the named image drawn at the button's size.
bool shows(QVPushButton* button, const QString& name)
{
    const QImage drawn = snapshot(button).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage expected = QVImage::named(name)
                                .toImage(QSizeF(button->size()), drawn.devicePixelRatio())
                                .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (drawn.size() != expected.size())
        return false;
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x) {
            const QColor a = drawn.pixelColor(x, y);
            const QColor b = expected.pixelColor(x, y);
            if (qAbs(a.alpha() - b.alpha()) > 3 || !sameRgb(a, b))
                return false;
        }
    return true;
}

QString flat(const char* kind, const char* state)
{
    return QStringLiteral("window_control_%1_color_yosemite_%2")
        .arg(QLatin1String(kind), QLatin1String(state));
}

// Opaque pixels in `area` within `tolerance` of `colour` on each channel.
int count(const QImage& image, const QRect& area, const QColor& colour, int tolerance)
{
    int n = 0;
    const QRect box = area.intersected(image.rect());
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - colour.red()) <= tolerance && qAbs(c.green() - colour.green()) <= tolerance
                && qAbs(c.blue() - colour.blue()) <= tolerance && c.alpha() > 200)
                ++n;
        }
    return n;
}

} // namespace

// What the three buttons show and say under hover, Alt, full screen, in the
// mini player and in a background window (the flat look, colour tint).
TEST(QVTrafficLightViewTest, ButtonsFollowHoverAltFullScreenMiniPlayerAndActivity)
{
    const QString inactive = QStringLiteral("window_control_inactive_yosemite");
    const char* over = "rollover";
    struct Case {
        const char* what;
        bool mini, alt, fullscreen, active;
        QString close, minimize, zoom;
        const char* zoomName;
    };
    const Case cases[] = {
        { "hover", false, false, false, true, flat("close", over), flat("minimize", over),
            flat("fullscreen", over), "Full Screen" },
        { "hover, Alt", false, true, false, true, flat("close", over), flat("minimize", over),
            flat("zoom", over), "Maximize" },
        { "full screen", false, false, true, true, flat("close", over), inactive, flat("fullscreen", over),
            "Exit Full Screen" },
        { "mini player", true, false, false, true, flat("close", over), flat("minimize", over),
            flat("zoom", over), "Switch to Main Player" },
        { "background", false, false, false, false, flat("close", over), flat("minimize", over),
            flat("fullscreen", over), "Full Screen" },
    };
    // Hover comes from the test alone, never from where the pointer happens to be.
    QCursor::setPos(1500, 1000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QVNotificationCenter center;
        QWidget window;
        window.resize(100, 80);
        QVTrafficLightView* view = c.mini ? new QVMiniPlayerWindowButtonsView(&window, &center)
                                          : new QVTrafficLightView(&window, &center);
        view->setAltState(c.alt);
        view->setFullscreen(c.fullscreen);
        activate(&window);
        if (!c.active)
            deactivateAll();
        enter(view);
        EXPECT_TRUE(shows(view->closeButton(), c.close));
        EXPECT_TRUE(shows(view->minButton(), c.minimize));
        EXPECT_TRUE(shows(view->zoomButton(), c.zoom));
        EXPECT_EQ(view->zoomButton()->accessibleName(), c.zoomName);
        EXPECT_EQ(view->closeButton()->focusPolicy(), Qt::NoFocus);

        // A switch of window forgets the hover: a background window's buttons lose their colour.
        center.postNotificationName(QString::fromLatin1(QVWindowServiceWindowChangedNotification));
        EXPECT_FALSE(view->isMouseOver());
        EXPECT_TRUE(shows(view->closeButton(), c.active ? flat("close", "active") : inactive));
    }
}

// The title bar over a stand-in for the page: click-through where the page
// says, measured once until a resize, load or sign-in makes it stale.
TEST(QVFloatingTitlebarViewTest, FloatsOverThePageAndLetsClicksThroughWhereThePageSays)
{
    QVNotificationCenter center;
    QVFakeWebView reader;
    QWidget window;
    window.resize(800, 600);
    auto* page = new QWidget(&window);
    page->setGeometry(0, 5, 800, 595);
    auto* bar = new QVFloatingTitlebarView(&window, &center);
    bar->setFixedHeight(35);
    bar->setWebView(&reader, page);
    window.show();
    const QString script = QVFloatingTitlebarView::ignoredWebRectsScript();
    reader.answers[script] = "[[100,10,200,20],[700,0,50,50]]";

    EXPECT_EQ(bar->geometry(), QRect(0, 5, 800, 35));
    enter(bar);
    EXPECT_EQ(reader.roundTrips, 1);
    EXPECT_FALSE(bar->mask().contains(QPoint(150, 15)));
    EXPECT_TRUE(bar->mask().contains(QPoint(50, 15)));
    // A page area under the window buttons does not take them.
    reader.answers[script] = "[[0,0,90,35]]";
    bar->updateIgnoredWebRects();
    EXPECT_TRUE(bar->mask().contains(bar->trafficLightsView()->geometry().center()));
    EXPECT_FALSE(bar->mask().contains(QPoint(85, 30)));
    reader.roundTrips = 1;
    enter(bar);
    EXPECT_EQ(reader.roundTrips, 1);

    const std::function<void()> staleMakers[] = {
        [&] { page->resize(900, 595); },
        [&] { bar->webViewDidStartLoading(); },
        [&] { center.postNotificationName(QString::fromLatin1(QVUserDidSignInNotification)); },
    };
    int trips = 1;
    for (const auto& makeStale : staleMakers) {
        makeStale();
        EXPECT_TRUE(bar->mask().isEmpty()); // the whole bar drags until measured
        enter(bar);
        EXPECT_EQ(reader.roundTrips, ++trips);
    }
    EXPECT_EQ(bar->width(), 900);

    // A page naming nothing still counts as measured.
    reader.answers[script] = "[]";
    bar->invalidateIgnoredWebRectsArray();
    enter(bar);
    enter(bar);
    EXPECT_EQ(reader.roundTrips, ++trips);

    // The page's search box holding the focus stops header drags until a load starts.
    center.postNotificationName(QString::fromLatin1(QVTextFieldDidBecomeFirstResponderNotification));
    const QPoint before = window.pos();
    const auto drag = [&] {
        QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(400, 20));
        QTest::mouseMove(bar, QPoint(450, 40));
        QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(450, 40));
    };
    drag();
    EXPECT_EQ(window.pos(), before);
    bar->webViewDidStartLoading();
    drag();
    EXPECT_EQ(window.pos(), before + QPoint(50, 20));
}

// The page's answer is untrusted: junk is skipped, counts and sizes bounded.
TEST(QVFloatingTitlebarParseTest, AnswersAreReadStrictly)
{
    const QRect bounds(0, 0, 800, 35);
    QString hundreds = "[";
    for (int i = 0; i < 2000; ++i)
        hundreds += QStringLiteral("%1[%2,0,1,10]").arg(i ? "," : "").arg(i % 800);
    hundreds += "]";
    const struct {
        QString answer;
        qreal zoom;
        QList<QRect> rects;
    } cases[] = {
        { "not json", 1, {} },
        { "[[\"1\",2,3,4],[null,1,1,1],[1e300,0,5,5],[1,2,3]]", 1, {} },
        { "[[10,5,20,10],[0,100,50,50]]", 1, { QRect(10, 5, 20, 10) } }, // below the bar: gone
        { "[[10,5,20,10]]", 1.5, { QRect(15, 7, 30, 16) } }, // page zoom, rounded outward
        { QString(100000, '['), 1, {} },
    };
    for (const auto& c : cases)
        EXPECT_EQ(QVFloatingTitlebarView::parseIgnoredWebRects(c.answer, c.zoom, bounds), c.rects)
            << c.answer.left(40).toStdString();
    EXPECT_EQ(QVFloatingTitlebarView::parseIgnoredWebRects(hundreds, 1, bounds).size(),
        QVFloatingTitlebarView::kMaxIgnoredRects);
}

// The page's header colour while loading, in rounded top corners; a colour the
// page did not give (or gave unparsable) draws nothing.
TEST(QVTitlebarVisorViewTest, DrawsThePageColourWhileLoadingAndNothingWithoutOne)
{
    QVTitlebarVisorView visor;
    visor.resize(200, QVTitlebarVisorView::kHeight);
    visor.setShouldDrawLoadingImage(true);
    visor.setColor(QColor(0x12, 0x34, 0x56));
    const QImage image = snapshot(&visor);
    EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
    EXPECT_TRUE(sameRgb(image.pixelColor(100, 2), QColor(0x12, 0x34, 0x56)));
    visor.setColor(QColor());
    EXPECT_EQ(pixel(&visor, QPoint(100, 2)).alpha(), 0);
}

TEST(QVLoadingWindowView, TheSpinnerTurnsOnlyWhileShownAndLoading)
{
    QWidget window;
    window.resize(400, 540);
    auto* view = new QVLoadingWindowView(&window);
    view->setGeometry(window.rect());
    EXPECT_FALSE(view->isSpinnerAnimating()); // not shown yet
    window.show();
    EXPECT_TRUE(view->isSpinnerAnimating());

    // Online: the spinner; offline: the message, no spinner.
    const QColor spoke(0x60, 0x60, 0x60);
    const QRect spinner = view->spinnerRect();
    EXPECT_GT(count(snapshot(view), spinner, spoke, 3), 5);
    view->setIsOffline(true);
    EXPECT_FALSE(view->isSpinnerAnimating());
    const QImage offline = snapshot(view);
    EXPECT_EQ(count(offline, spinner, spoke, 3), 0);
    EXPECT_GT(count(offline, view->offlineTitleRect(), QVLoadingWindowView::offlineTextColor(), 30), 10);
    view->setIsOffline(false);
    EXPECT_TRUE(view->isSpinnerAnimating());
    // Faded out or hidden, it stands still.
    view->fadeOut();
    EXPECT_FALSE(view->isSpinnerAnimating());
    view->show();
    window.hide();
    EXPECT_FALSE(view->isSpinnerAnimating());
}

// The edge tiles across the top; a missing image or one a thousandth of a
// point wide is not tiled (the loop never ended) and the rest stays white.
TEST(QVBrowserOverlayView, TilesItsEdgeOnlyWhenItHasAWidth)
{
    const struct {
        QVImage edge;
        int tiles;
        int redRows;
    } cases[] = {
        { QVImage(solid(Qt::red, QSize(10, 4))), 10, 4 },
        { QVImage(), 0, 0 },
        { [] {
             QImage thin = solid(Qt::red, QSize(1, 4));
             thin.setDevicePixelRatio(1000.0);
             return QVImage(thin);
         }(),
            0, 0 },
    };
    QVLogCapture log;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tiles);
        QVBrowserOverlayView view;
        view.resize(95, 60);
        view.setEdgeImage(c.edge);
        EXPECT_EQ(view.edgeTileCount(), c.tiles);
        const QImage image = snapshot(&view);
        EXPECT_EQ(count(image, image.rect(), Qt::red, 2), 95 * c.redRows);
        EXPECT_EQ(count(image, image.rect(), Qt::white, 0), 95 * (60 - c.redRows)) << "the rest white";
    }
}

// A corrupt saved frame gives a usable size. The title bar lies over the page's
// header, not above it; the window keeps square bottom corners and rounds its
// top ones, except maximised. A header double-click maximises (window managers
// may take Alt-clicks); zoom is full screen, with Alt it maximises; close hides.
TEST(QVMainPlayerWindow2Test, FrameHeaderCornersAndWindowButtons)
{
    QVNotificationCenter center;
    QVTestDefaults defaults;
    QVUIConstantsService constants(&center, defaults.get(), "10.10");
    QVWebNavigationService navigation(&center, &constants);
    QVMainPlayerWindow2 window(nullptr, &navigation, defaults.get());
    defaults->setValue("garbage", window.frameDefaultsKey());
    activate(&window);
    window.onUserLoggedIn();
    EXPECT_GE(window.width(), QVMainPlayerWindow2::kMinimumSize.width());
    EXPECT_GE(window.height(), QVMainPlayerWindow2::kMinimumSize.height());

    QVFloatingTitlebarView* bar = window.titlebarView();
    ASSERT_EQ(bar->parentWidget(), window.webView()->parentWidget());
    EXPECT_EQ(bar->geometry().topLeft(), window.webView()->geometry().topLeft());
    const QRegion mask = window.mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0)));
    EXPECT_TRUE(mask.contains(QPoint(0, window.height() - 1)));
    EXPECT_TRUE(mask.contains(QPoint(window.width() / 2, 0)));
    QTest::mouseDClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(300, 10));
    EXPECT_TRUE(window.windowState() & Qt::WindowMaximized);
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.mask().isEmpty());
    EXPECT_EQ(bar->width(), window.webView()->width());
    QTest::mouseDClick(bar, Qt::LeftButton, Qt::NoModifier, QPoint(300, 10));
    EXPECT_FALSE(window.windowState() & Qt::WindowMaximized);

    QVTrafficLightView* lights = bar->trafficLightsView();
    lights->zoomButton()->click();
    EXPECT_TRUE(window.windowState() & Qt::WindowFullScreen);
    EXPECT_TRUE(bar->isFullscreen());
    lights->zoomButton()->click();
    EXPECT_FALSE(window.windowState() & Qt::WindowFullScreen);
    QTest::keyPress(&window, Qt::Key_Alt, Qt::AltModifier);
    EXPECT_TRUE(lights->isAltActive());
    lights->zoomButton()->click();
    EXPECT_TRUE(window.windowState() & Qt::WindowMaximized);
    QTest::keyRelease(&window, Qt::Key_Alt);
    EXPECT_FALSE(lights->isAltActive());

    QApplication::setQuitOnLastWindowClosed(false);
    lights->closeButton()->click();
    EXPECT_FALSE(window.isVisible());
    deactivateAll();
}
