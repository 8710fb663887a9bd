#include "../controls/QVControlsTestSupport.h"
#include "QVBrowserOverlayView.h"
#include "QVConstants.h"
#include "QVLoadingWindowView.h"
#include "QVLogCapture.h"
#include "QVNotificationCenter.h"
#include "QVTextField.h"

#include <gtest/gtest.h>

#include <QLineEdit>

using namespace QVControlsTest;

namespace {

// Pixels in `area` within `tolerance` of `colour` on each channel.
int count(const QImage& image, const QRect& area, const QColor& colour, int tolerance = 12)
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

// Dark, opaque pixels: spinner spokes or text.
int countDark(const QImage& image, const QRect& area)
{
    int n = 0;
    const QRect box = area.intersected(image.rect());
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            if (qGray(image.pixel(x, y)) < 170)
                ++n;
    return n;
}

QImage flat(const QSize& size, const QColor& colour, qreal ratio = 1.0)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(colour);
    image.setDevicePixelRatio(ratio);
    return image;
}

} // namespace

TEST(QVLoadingWindowView, TheSpinnerTurnsOnlyWhileShownAndLoading)
{
    QWidget window;
    window.resize(400, 540);
    auto* view = new QVLoadingWindowView(&window);
    view->setGeometry(window.rect());
    EXPECT_FALSE(view->isSpinnerAnimating()); // not shown yet
    window.show();
    EXPECT_TRUE(view->isSpinnerAnimating());

    // Online: the spinner, no text below it; offline: the message, no spinner.
    const QColor spoke(0x60, 0x60, 0x60);
    const QRect spinner = view->spinnerRect();
    const QRect below(0, spinner.bottom() + 2, view->width(), view->height());
    const QImage online = snapshot(view);
    EXPECT_GT(count(online, spinner, spoke, 3), 5);
    EXPECT_EQ(countDark(online, below), 0);
    view->setIsOffline(true);
    EXPECT_FALSE(view->isSpinnerAnimating());
    const QImage offline = snapshot(view);
    EXPECT_EQ(count(offline, spinner, spoke, 3), 0);
    EXPECT_GT(count(offline, view->offlineTitleRect(), QVLoadingWindowView::offlineTextColor(), 30), 10);
    EXPECT_GT(countDark(offline, below), 10);
    view->setIsOffline(false);
    EXPECT_TRUE(view->isSpinnerAnimating());
    EXPECT_EQ(countDark(snapshot(view), below), 0);

    // Faded out: hidden and still; made ready again without turning.
    view->fadeOut();
    EXPECT_FALSE(view->isSpinnerAnimating());
    view->setIsOffline(false);
    EXPECT_TRUE(view->isLoading());
    EXPECT_FALSE(view->isSpinnerAnimating());
    view->show();
    EXPECT_TRUE(view->isSpinnerAnimating());
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
        { QVImage(flat(QSize(10, 4), Qt::red)), 10, 4 },
        { QVImage(), 0, 0 },
        { QVImage(flat(QSize(1, 4), Qt::red, 1000.0)), 0, 0 },
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
        EXPECT_EQ(count(image, image.rect(), Qt::white, 0), 95 * (60 - c.redRows));
    }
}

TEST(QVTextField, AnnouncesFocus)
{
    QVNotificationCenter center;
    QWidget window;
    auto* other = new QLineEdit(&window);
    auto* field = new QVTextField(&window, &center);
    QList<QObject*> announced;
    center.addObserver(&announced, QVTextFieldDidBecomeFirstResponderNotification,
        [&](const QVNotification& n) { announced.append(n.object); });
    activate(&window);
    other->setFocus();
    QCoreApplication::processEvents();
    EXPECT_TRUE(announced.isEmpty());
    field->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(announced, QList<QObject*>({ field }));
    center.removeObserver(&announced);
}
