#include "QVPushButton.h"
#include "QVControlsTestSupport.h"
#include "QVPushButtonCell.h"
#include "QVPushButtonCellListener.h"
#include "QVPushButtonTextCell.h"
#include "QVTextPushButton.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

using namespace QVControlsTest;

namespace {

const QColor kNormal(200, 0, 0);
const QColor kHover(0, 200, 0);
const QColor kPush(0, 0, 200);
const QColor kDisabled(200, 0, 200);
const QColor kInactive(0, 200, 200);

class QVPushButtonTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        window.resize(100, 60);
        button = new QVPushButton(&window);
        button->setGeometry(10, 10, 20, 20);
        activate(&window);
    }

    QColor shown() { return pixel(button, QPoint(5, 5)); }

    QWidget window;
    QVPushButton* button = nullptr;
};

TEST_F(QVPushButtonTest, EachStateShowsItsImage)
{
    button->setImage(QVImage(solid(kNormal)));
    button->setHoverImage(QVImage(solid(kHover)));
    button->setPushImage(QVImage(solid(kPush)));
    button->setDisabledImage(QVImage(solid(kDisabled)));
    button->setInactiveImage(QVImage(solid(kInactive)));
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    EXPECT_EQ(shown(), kNormal);
    enter(button);
    EXPECT_EQ(shown(), kHover);
    mouse(button, QEvent::MouseButtonPress);
    EXPECT_EQ(shown(), kPush);
    mouse(button, QEvent::MouseButtonRelease);
    EXPECT_EQ(clicked.count(), 1);
    // Dragged off while held: tracking stops, and a release there is no click.
    mouse(button, QEvent::MouseButtonPress);
    mouse(button, QEvent::MouseMove, QPointF(60, 60));
    EXPECT_EQ(shown(), kNormal);
    mouse(button, QEvent::MouseButtonRelease, QPointF(60, 60));
    EXPECT_EQ(clicked.count(), 1);

    button->setEnabled(false);
    EXPECT_EQ(shown(), kDisabled);
    button->setDisabledImage(QVImage());
    EXPECT_EQ(shown().alpha(), 0) << "a disabled button without a disabled image draws nothing";
    button->setEnabled(true);
    deactivateAll();
    EXPECT_TRUE(sameRgb(shown(), kInactive));
    // Without a cell every setter and the pointer do nothing.
    button->setCell(nullptr);
    button->setImage(QVImage(solid(kNormal)));
    click(button);
    EXPECT_EQ(shown().alpha(), 0);
}

TEST_F(QVPushButtonTest, AListenerThatGoesIsForgotten)
{
    {
        QVPushButtonCellListener gone;
        button->setPushButtonCellListener(&gone);
    }
    EXPECT_EQ(button->cell()->pushButtonCellListener(), nullptr);
    QSignalSpy clicked(button, &QAbstractButton::clicked);
    enter(button);
    click(button);
    EXPECT_EQ(clicked.count(), 1);
}

TEST(QVTextPushButton, ATitleIsWholeAtItsOwnSizeAndCutWhenNarrower)
{
    // Link-style buttons have no end caps: a missing cap once cut every title short.
    for (const bool caps : { false, true }) {
        SCOPED_TRACE(caps ? "with caps" : "without caps");
        QVTextPushButton button;
        QVPushButtonTextCell* cell = button.textCell();
        if (caps)
            cell->setEndcapImage(QVImage(solid(kHover, QSize(6, 20))));
        button.setTitle(QStringLiteral("Terms of Service"));
        EXPECT_EQ(cell->displayedTitle(button.sizeHint().width()), QStringLiteral("Terms of Service"));
        const QString cut = cell->displayedTitle(button.sizeHint().width() / 2);
        EXPECT_TRUE(cut.endsWith(QChar(0x2026))) << qPrintable(cut);
    }
}

TEST(QVImage, NamedImagesComeFromTheResourcesOnly)
{
    const QVImage background = QVImage::named(QStringLiteral("player_bg"));
    ASSERT_FALSE(background.isNull());
    // The names callers know may carry the old ".png"; one image either way.
    EXPECT_EQ(QVImage::named(QStringLiteral("player_bg.png")), background);
    EXPECT_FALSE(background == QVImage::named(QStringLiteral("player_bg_inactive")));
    for (const char* name : { "no_such_image", "", "../player_bg", "images/player_bg", ".png" })
        EXPECT_TRUE(QVImage::named(QString::fromLatin1(name)).isNull()) << name;
    EXPECT_TRUE(QVImage::named(QString(4096, u'a')).isNull());
    EXPECT_TRUE(QVImage::fromSvgData("<svg", QStringLiteral("broken")).isNull());
}

} // namespace
