#include "QVNowPlayingView.h"
#include "../playback/QVPlaybackTestSupport.h"
#include "QVAlbumArtHandler.h"
#include "QVControlsTestSupport.h"

#include <QSignalSpy>
#include <QTest>

using namespace QVControlsTest;

namespace {

class QVNowPlayingViewTest : public PlaybackServiceTest
{
protected:
    QVNowPlayingViewTest()
        : view(nullptr, service.albumArtHandler())
    {
        view.resize(300, 50);
    }
    QVNowPlayingView view;
};

TEST_F(QVNowPlayingViewTest, TheLogoFadesInOnceToExactlyOne)
{
    EXPECT_TRUE(view.shouldShowLogo());
    EXPECT_FLOAT_EQ(view.logoAlphaLevel(), 1.0f);
    EXPECT_FALSE(view.isFading());

    view.setShouldShowLogo(false);
    view.setShouldShowLogo(true);
    EXPECT_FLOAT_EQ(view.logoAlphaLevel(), 0.0f);
    EXPECT_TRUE(view.isFading());
    int ticks = 0;
    while (view.isFading() && ticks < 100) {
        const float before = view.logoAlphaLevel();
        view._fadeTimerTick();
        ++ticks;
        if (view.isFading()) {
            EXPECT_GT(view.logoAlphaLevel(), before);
        }
    }
    // 0.05 steps to 0.55, then 0.1 steps: the 16th tick settles it.
    EXPECT_EQ(ticks, 16);
    EXPECT_EQ(view.logoAlphaLevel(), 1.0f);

    // Showing it again changes nothing; hiding and showing restarts the fade.
    view.setShouldShowLogo(true);
    EXPECT_FALSE(view.isFading());
    view.setShouldShowLogo(false);
    EXPECT_FALSE(view.isFading());
    view.setShouldShowLogo(true);
    EXPECT_TRUE(view.isFading());
}

TEST_F(QVNowPlayingViewTest, TheArtIsARoundedSquareAtTheBottomLeftDrawnFromACopy)
{
    EXPECT_EQ(view._albumArtRect(), QRect(1, 2, 46, 46));
    const QPainterPath path = QVNowPlayingView::_albumArtBezierPath(QRectF(view._albumArtRect()), 2);
    EXPECT_TRUE(path.contains(QPointF(24, 25)));
    EXPECT_FALSE(path.contains(QPointF(1.2, 2.2))); // the corner is cut
    EXPECT_TRUE(path.contains(QPointF(3, 2.5)));
    // A radius larger than half the side is half the side: a circle.
    EXPECT_FALSE(QVNowPlayingView::_albumArtBezierPath(QRectF(0, 0, 10, 10), 50).contains(QPointF(1, 1)));

    view.resize(300, 70);
    EXPECT_EQ(view._albumArtRect(), QRect(1, 22, 46, 46)); // bottom-aligned
    const QImage art = solid(QColor(0, 180, 0), QSize(300, 300));
    view.onAlbumArtAvailable(art);
    view.setShouldShowLogo(false);
    EXPECT_TRUE(sameRgb(pixel(&view, QPoint(24, 45)), QColor(0, 180, 0)));
    // Drawing never changes the shared image.
    EXPECT_EQ(view.albumArtImage().size(), QSize(300, 300));
    EXPECT_EQ(view.albumArtImage().cacheKey(), art.cacheKey());
}

TEST_F(QVNowPlayingViewTest, OnlyAClickOnTheArtSendsTheAction)
{
    QSignalSpy clicked(&view, &QVNowPlayingView::clicked);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(150, 25));
    EXPECT_EQ(clicked.count(), 0);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(20, 25));
    EXPECT_EQ(clicked.count(), 1);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(48, 25));
    EXPECT_EQ(clicked.count(), 1);
}

TEST_F(QVNowPlayingViewTest, SizesAreClampedOnlyByTheBoundsThatAreSet)
{
    view.setFrameSize(QSize(5, 900));
    EXPECT_EQ(view.size(), QSize(5, 900));
    view.setMinFrame(QRect(0, 0, 100, 40));
    view.setMaxFrame(QRect(0, 0, 400, 60));
    view.setFrameSize(QSize(5, 900));
    EXPECT_EQ(view.size(), QSize(100, 60));
    view.setFrame(QRect(7, 8, 1000, 10));
    EXPECT_EQ(view.geometry(), QRect(7, 8, 400, 40));
}

} // namespace
