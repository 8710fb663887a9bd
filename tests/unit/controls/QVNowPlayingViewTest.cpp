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
