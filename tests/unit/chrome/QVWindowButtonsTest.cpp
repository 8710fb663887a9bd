#include "../controls/QVControlsTestSupport.h"
#include "QVConstants.h"
#include "QVFakeWebView.h"
#include "QVFloatingTitlebarView.h"
#include "QVMiniPlayerWindowButtonsView.h"
#include "QVNotificationCenter.h"
#include "QVPushButton.h"
#include "QVTitlebarVisorView.h"
#include "QVTrafficLightView.h"

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

} // namespace

// What the three buttons show and say under hover, Alt, full screen, in the
// mini player and in a background window (the flat look, colour tint).
TEST(QVTrafficLightViewTest, ButtonsFollowHoverAltFullScreenMiniPlayerAndActivity)
{
    const QString inactive = QStringLiteral("window_control_inactive_yosemite");
    const char* over = "rollover";
    struct Case {
        const char* what;
        bool mini, hover, alt, fullscreen, active;
        QString close, minimize, zoom;
        const char* zoomName;
    };
    const Case cases[] = {
        { "plain", false, false, false, false, true, flat("close", "active"), flat("minimize", "active"),
            flat("fullscreen", "active"), "Full Screen" },
        { "hover", false, true, false, false, true, flat("close", over), flat("minimize", over),
            flat("fullscreen", over), "Full Screen" },
        { "hover, Alt", false, true, true, false, true, flat("close", over), flat("minimize", over),
            flat("zoom", over), "Maximize" },
        { "full screen", false, true, false, true, true, flat("close", over), inactive,
            flat("fullscreen", over), "Exit Full Screen" },
        { "full screen, Alt", false, true, true, true, true, flat("close", over), inactive,
            flat("fullscreen", over), "Maximize" },
        { "mini player", true, true, false, false, true, flat("close", over), flat("minimize", over),
            flat("zoom", over), "Switch to Main Player" },
        { "background", false, false, false, false, false, inactive, inactive, inactive, "Full Screen" },
        { "background, hover", false, true, false, false, false, flat("close", over), flat("minimize", over),
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
        if (c.hover)
            enter(view);
        EXPECT_TRUE(shows(view->closeButton(), c.close));
        EXPECT_TRUE(shows(view->minButton(), c.minimize));
        EXPECT_TRUE(shows(view->zoomButton(), c.zoom));
        EXPECT_EQ(view->zoomButton()->accessibleName(), c.zoomName);
        EXPECT_EQ(view->closeButton()->focusPolicy(), Qt::NoFocus);

        // A switch of window forgets the hover.
        center.postNotificationName(QString::fromLatin1(QVWindowServiceWindowChangedNotification));
        EXPECT_FALSE(view->isMouseOver());
        EXPECT_TRUE(shows(view->closeButton(), c.active ? flat("close", "active") : inactive));
    }
}

namespace {

// A title bar over a stand-in for the page, in a window of its own.
class QVFloatingTitlebarViewTest : public ::testing::Test
{
protected:
    QVFloatingTitlebarViewTest()
    {
        window.resize(800, 600);
        page = new QWidget(&window);
        page->setGeometry(0, 5, 800, 595);
        bar = new QVFloatingTitlebarView(&window, &center);
        bar->setFixedHeight(35);
        bar->setWebView(&reader, page);
        window.show();
        reader.answers[QVFloatingTitlebarView::ignoredWebRectsScript()] = "[[100,10,200,20],[700,0,50,50]]";
    }

    QVNotificationCenter center;
    QVFakeWebView reader;
    QWidget window;
    QWidget* page;
    QVFloatingTitlebarView* bar;
};

} // namespace

TEST_F(QVFloatingTitlebarViewTest, FloatsOverThePageAndLetsClicksThroughWhereThePageSays)
{
    EXPECT_EQ(bar->geometry(), QRect(0, 5, 800, 35));
    enter(bar);
    EXPECT_EQ(reader.roundTrips, 1);
    EXPECT_EQ(bar->ignoredWebRects(), QList<QRect>({ QRect(100, 10, 200, 20), QRect(700, 0, 50, 35) }));
    EXPECT_FALSE(bar->mask().contains(QPoint(150, 15)));
    EXPECT_TRUE(bar->mask().contains(QPoint(50, 15)));
    // A page area under the window buttons does not take them.
    reader.answers[QVFloatingTitlebarView::ignoredWebRectsScript()] = "[[0,0,90,35]]";
    bar->updateIgnoredWebRects();
    EXPECT_TRUE(bar->mask().contains(bar->trafficLightsView()->geometry().center()));
    EXPECT_FALSE(bar->mask().contains(QPoint(85, 30)));
    reader.roundTrips = 1;
    // Measured once until something moves the page.
    enter(bar);
    EXPECT_EQ(reader.roundTrips, 1);

    // Each of these makes the areas stale: a resize (maximise), a load, a sign-in.
    const std::function<void()> staleMakers[] = {
        [&] { page->resize(900, 595); },
        [&] { bar->webViewDidStartLoading(); },
        [&] { center.postNotificationName(QString::fromLatin1(QVUserDidSignInNotification)); },
    };
    int trips = 1;
    for (const auto& makeStale : staleMakers) {
        makeStale();
        EXPECT_TRUE(bar->areIgnoredWebRectsStale());
        EXPECT_TRUE(bar->mask().isEmpty()); // the whole bar drags until measured
        enter(bar);
        EXPECT_EQ(reader.roundTrips, ++trips);
    }
    EXPECT_EQ(bar->width(), 900);

    // A page naming nothing, or not answering, still counts as measured.
    for (bool responsive : { true, false }) {
        reader.responsive = responsive;
        reader.answers[QVFloatingTitlebarView::ignoredWebRectsScript()] = "[]";
        bar->invalidateIgnoredWebRectsArray();
        enter(bar);
        enter(bar);
        EXPECT_EQ(reader.roundTrips, ++trips);
        EXPECT_TRUE(bar->ignoredWebRects().isEmpty());
    }

    // While the page loads the whole header drags and nothing is read.
    bar->setIsInLoadingMode(true);
    enter(bar);
    EXPECT_EQ(reader.roundTrips, trips);
}

TEST_F(QVFloatingTitlebarViewTest, ALoadClearsTheSearchBoxFocusSoTheHeaderDragsAgain)
{
    center.postNotificationName(QString::fromLatin1(QVTextFieldDidBecomeFirstResponderNotification));
    EXPECT_TRUE(bar->isTextFieldFirstResponder());
    const QPoint before = window.pos();
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(400, 20));
    QTest::mouseMove(bar, QPoint(450, 40));
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(450, 40));
    EXPECT_EQ(window.pos(), before);

    bar->webViewDidStartLoading();
    EXPECT_FALSE(bar->isTextFieldFirstResponder());
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, QPoint(400, 20));
    QTest::mouseMove(bar, QPoint(450, 40));
    EXPECT_EQ(window.pos(), before + QPoint(50, 20));
    QTest::mouseRelease(bar, Qt::LeftButton);
}

// The page's answer is untrusted: junk is skipped, counts and sizes bounded.
TEST(QVFloatingTitlebarParseTest, AnswersAreReadStrictly)
{
    const QRect bounds(0, 0, 800, 35);
    struct Case {
        QString answer;
        qreal zoom;
        QList<QRect> rects;
    };
    QString hundreds = "[";
    for (int i = 0; i < 2000; ++i)
        hundreds += QStringLiteral("%1[%2,0,1,10]").arg(i ? "," : "").arg(i % 800);
    hundreds += "]";
    const Case cases[] = {
        { "", 1, {} },
        { "not json", 1, {} },
        { "{\"a\":1}", 1, {} },
        { "[[1,2,3]]", 1, {} },
        { "[[\"1\",2,3,4],[null,1,1,1],[1e300,0,5,5]]", 1, {} },
        { "[[10,5,20,10],[0,100,50,50]]", 1, { QRect(10, 5, 20, 10) } }, // below the bar: gone
        { "[[10,5,20,10]]", 1.5, { QRect(15, 7, 30, 16) } }, // page zoom, rounded outward
        { "[[10.5,0,1,1]]", 0, {} },
    };
    for (const Case& c : cases)
        EXPECT_EQ(QVFloatingTitlebarView::parseIgnoredWebRects(c.answer, c.zoom, bounds), c.rects)
            << c.answer.left(40).toStdString();
    EXPECT_EQ(QVFloatingTitlebarView::parseIgnoredWebRects(hundreds, 1, bounds).size(),
        QVFloatingTitlebarView::kMaxIgnoredRects);
    EXPECT_TRUE(QVFloatingTitlebarView::parseIgnoredWebRects(QString(100000, '['), 1, bounds).isEmpty());
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
