#include "QVBrowserOverlayView.h"
#include "QVConstants.h"
#include "QVLoadingWindowView.h"
#include "QVLogCapture.h"
#include "QVNotificationCenter.h"
#include "QVTableView.h"
#include "QVTextField.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPainter>
#include <QStandardItemModel>
#include <QTest>

namespace {

QImage render(QWidget* widget)
{
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    widget->render(&image);
    return image;
}

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
    EXPECT_TRUE(view->isLoading());
    EXPECT_FALSE(view->isSpinnerAnimating()); // not shown yet
    window.show();
    EXPECT_TRUE(view->isSpinnerAnimating());

    // Online: white with the spinner a little above the middle, no text.
    const QColor spoke(0x60, 0x60, 0x60);
    const QRect spinner = view->spinnerRect();
    const QRect below(0, spinner.bottom() + 2, view->width(), view->height());
    const QImage online = render(view);
    EXPECT_GT(count(online, spinner, spoke, 3), 5);
    EXPECT_EQ(countDark(online, below), 0);
    EXPECT_LT(spinner.bottom(), view->height() / 2);

    // Offline: the message, no spinner.
    view->setIsOffline(true);
    EXPECT_FALSE(view->isLoading());
    EXPECT_FALSE(view->isSpinnerAnimating());
    const QImage offline = render(view);
    EXPECT_EQ(count(offline, spinner, spoke, 3), 0);
    EXPECT_GT(count(offline, view->offlineTitleRect(), QVLoadingWindowView::offlineTextColor(), 30), 10);
    EXPECT_GT(
        count(offline, view->offlineDescriptionRect(), QVLoadingWindowView::offlineTextColor(), 30), 10);
    EXPECT_GT(countDark(offline, below), 10);
    EXPECT_LT(view->offlineTitleRect().bottom(), view->offlineDescriptionRect().top());

    // Back online: the spinner again, the message gone.
    view->setIsOffline(false);
    EXPECT_TRUE(view->isSpinnerAnimating());
    EXPECT_EQ(countDark(render(view), below), 0);

    // Faded out: hidden and still; made ready again without turning.
    view->fadeOut();
    EXPECT_TRUE(view->isHidden());
    EXPECT_FALSE(view->isSpinnerAnimating());
    view->setIsOffline(false);
    EXPECT_TRUE(view->isLoading());
    EXPECT_FALSE(view->isSpinnerAnimating());
    view->show();
    EXPECT_TRUE(view->isSpinnerAnimating());
    window.hide();
    EXPECT_FALSE(view->isSpinnerAnimating());
}

TEST(QVBrowserOverlayView, DrawsWhiteAndItsTiledEdge)
{
    QVBrowserOverlayView view;
    view.resize(95, 60);
    view.setEdgeImage(QVImage(flat(QSize(10, 4), Qt::red)));
    EXPECT_EQ(view.edgeTileCount(), 10);
    const QImage image = render(&view);
    EXPECT_EQ(count(image, QRect(0, 0, 95, 4), Qt::red, 2), 95 * 4);
    EXPECT_EQ(count(image, QRect(0, 4, 95, 56), Qt::white, 0), 95 * 56);
}

TEST(QVBrowserOverlayView, AnEdgeWithoutWidthIsNotTiled)
{
    QVBrowserOverlayView view;
    view.resize(300, 200);
    QVLogCapture log;
    // A missing image, and one a thousandth of a point wide.
    for (const QVImage& edge : { QVImage(), QVImage(flat(QSize(1, 4), Qt::red, 1000.0)) }) {
        view.setEdgeImage(edge);
        EXPECT_EQ(view.edgeTileCount(), 0);
        const QImage image = render(&view); // returns at all
        EXPECT_EQ(count(image, image.rect(), Qt::white, 0), 300 * 200);
    }
}

TEST(QVBrowserOverlayView, TheImageSitsAboveTheWarning)
{
    QVBrowserOverlayView view;
    view.resize(500, 400);
    view.setEdgeImage(QVImage());
    view.setOverlayImage(QVImage(flat(QSize(40, 30), Qt::blue)));
    QRect imageRect = view.overlayImageRect();
    EXPECT_EQ(imageRect, QRect(230, 185, 40, 30)); // centred
    EXPECT_EQ(count(render(&view), imageRect, Qt::blue, 2), 40 * 30);

    view.setShouldShowWarningText(true);
    imageRect = view.overlayImageRect();
    const QRect title = view.warningTitleRect();
    const QRect subtitle = view.warningSubtitleRect();
    EXPECT_LE(imageRect.bottom(), title.top());
    EXPECT_LE(title.bottom(), subtitle.top());
    EXPECT_NEAR(title.center().x(), 250, 1);
    EXPECT_NEAR(subtitle.center().x(), 250, 1);
    const QImage image = render(&view);
    EXPECT_EQ(count(image, imageRect, Qt::blue, 2), 40 * 30);
    EXPECT_GT(count(image, title, QVBrowserOverlayView::warningTextColor(), 30), 10);
    EXPECT_FALSE(view.accessibleName().isEmpty());
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
    window.show();
    QApplication::setActiveWindow(&window);
    other->setFocus();
    QCoreApplication::processEvents();
    EXPECT_TRUE(announced.isEmpty());
    field->setFocus();
    QCoreApplication::processEvents();
    EXPECT_EQ(announced, QList<QObject*>({ field }));
    center.removeObserver(&announced);
}

TEST(QVTableView, StripesRunWithTheRowsToTheBottom)
{
    QVTableView table;
    QStandardItemModel model(3, 2);
    table.setModel(&model);
    table.verticalHeader()->setDefaultSectionSize(20);
    table.verticalHeader()->hide();
    table.horizontalHeader()->hide();
    table.setFrameShape(QFrame::NoFrame);
    table.resize(200, 130);
    table.show();
    const QImage image = table.viewport()->grab().toImage();
    // Rows 0, 2, 4 grey and 1, 3, 5 white, past the three real rows too.
    for (int band = 0; band < 6; ++band) {
        SCOPED_TRACE(band);
        const QColor expected = band % 2 == 0 ? QVTableView::stripeColor() : QColor(Qt::white);
        EXPECT_EQ(count(image, QRect(150, band * 20 + 10, 1, 1), expected, 2), 1);
    }
}
