#include "QVImage.h"

#include <gtest/gtest.h>

#include <QPainter>

namespace {

TEST(QVImage, NamedImagesComeFromTheResourcesOnly)
{
    const QVImage background = QVImage::named(QStringLiteral("player_bg"));
    ASSERT_FALSE(background.isNull());
    // The names callers know may carry the old ".png"; one image either way.
    EXPECT_EQ(QVImage::named(QStringLiteral("player_bg.png")), background);
    EXPECT_FALSE(background == QVImage::named(QStringLiteral("player_bg_inactive")));

    // A missing image is logged once, however often it is asked for (a new
    // name on every run of the test: the program remembers misses).
    static int run = 0;
    const QString missing = QStringLiteral("missing_once_%1").arg(++run);
    ::testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(QVImage::named(missing).isNull());
    EXPECT_EQ(QString::fromStdString(::testing::internal::GetCapturedStderr()).count(missing), 1);

    for (const char* name : { "no_such_image", "", "../player_bg", "images/player_bg", ".png" })
        EXPECT_TRUE(QVImage::named(QString::fromLatin1(name)).isNull()) << name;
    EXPECT_TRUE(QVImage::named(QString(4096, u'a')).isNull());
    EXPECT_TRUE(QVImage::fromSvgData("<svg", QStringLiteral("broken")).isNull());
}

TEST(QVImage, RendersSharpAtTheDevicePixelRatio)
{
    const QVImage disc = QVImage::named(QStringLiteral("window_control_close_color_yosemite_active"));
    const QSize size = disc.size().toSize();
    ASSERT_FALSE(size.isEmpty());
    const QImage at2 = disc.toImage(2.0);
    EXPECT_EQ(disc.toImage(1.0).size(), size);
    EXPECT_EQ(at2.size(), size * 2);
    EXPECT_EQ(at2.deviceIndependentSize(), QSizeF(size));
    // Drawn again at twice the resolution, not an enlarged copy: an enlarged copy
    // has pairs of equal pixels along the disc's middle row; this one does not.
    const int row = size.height();
    int differingPairs = 0;
    for (int x = 0; x + 1 < at2.width(); x += 2)
        differingPairs += at2.pixel(x, row) != at2.pixel(x + 1, row);
    EXPECT_GT(differingPairs, 0);

    // Painting onto a 2x surface picks the 2x rendering.
    QImage target(size * 2, QImage::Format_ARGB32_Premultiplied);
    target.setDevicePixelRatio(2.0);
    target.fill(Qt::transparent);
    {
        QPainter painter(&target);
        disc.draw(&painter, QRectF(QPointF(0, 0), disc.size()));
    }
    EXPECT_EQ(target.pixel(0, row), at2.pixel(0, row));
    EXPECT_EQ(target.pixel(1, row), at2.pixel(1, row));
}

} // namespace
