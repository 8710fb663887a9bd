#include "QVFaceplateSliderButton.h"
#include "QVControlsTestSupport.h"
#include "QVFaceplateSliderButtonCell.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QSignalSpy>
#include <QTest>

#include <limits>

using namespace QVControlsTest;

namespace {

const QColor kTrack(90, 90, 90);
const QColor kFill(220, 0, 0);

// A slider drawn from flat colours: track 8 high, fill 4 high with 3-wide caps.
class QVFaceplateSliderButtonTest : public ::testing::Test
{
protected:
    QVFaceplateSliderButtonTest()
    {
        window.resize(300, 40);
        slider = new QVFaceplateSliderButton(&window);
        slider->setGeometry(10, 10, 200, 16);
        QVFaceplateSliderButtonCell* cell = slider->cell();
        cell->setBackingImage(QVImage(solid(kTrack, QSize(4, 8))));
        cell->setBackingImageEndcap(QVImage(solid(kTrack, QSize(4, 8))));
        cell->setProgressImage(QVImage(solid(kFill, QSize(4, 4))));
        cell->setProgressImageEndcap(QVImage(solid(kFill, QSize(3, 4))));
        cell->setKnobImage(QVImage(solid(Qt::blue, QSize(12, 12))));
        cell->setLoadingImage(QVImage(solid(Qt::green, QSize(8, 8))));
        activate(&window);
    }

    QImage render() const { return slider->cell()->render(QSizeF(slider->size()), 1.0); }

    // Fill pixels along the fill's middle row.
    static int fillPixels(const QImage& image)
    {
        int count = 0;
        for (int x = 0; x < image.width(); ++x)
            count += sameRgb(image.pixelColor(x, 9), kFill) ? 1 : 0;
        return count;
    }

    QWidget window;
    QVFaceplateSliderButton* slider = nullptr;
};

TEST_F(QVFaceplateSliderButtonTest, FillWidthFollowsTheValueAndStaysInside)
{
    struct Case {
        float value;
        int fill; // pixels of fill colour on its middle row
    };
    // W = 200, cap 3: p = v / 100 * 195; the fill runs from x 2 to p + 3.
    const Case cases[] = {
        { 0.0f, 0 },
        { 1.0f, 4 }, // narrower than two caps: two caps' width, no middle
        { 50.0f, 97 + 3 - 2 },
        { 100.0f, 195 + 3 - 2 },
        { 150.0f, 195 + 3 - 2 }, // past the end: drawn at the end
        { -20.0f, 0 },
        { std::numeric_limits<float>::quiet_NaN(), 0 },
        { std::numeric_limits<float>::infinity(), 195 + 3 - 2 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        slider->setFloatValue(c.value);
        EXPECT_NEAR(fillPixels(render()), c.fill, 1);
    }
}

TEST_F(QVFaceplateSliderButtonTest, AMissingStripeImageDrawsNothingAndNeverLoops)
{
    slider->cell()->setLoadingImage(QVImage());
    slider->setIsLoading(true);
    slider->cell()->_loadingTimerTick();
    EXPECT_EQ(slider->cell()->loadingXOffset(), 0u);
    EXPECT_FALSE(render().isNull());
    slider->cell()->setLoadingImage(QVImage(QImage()));
    EXPECT_FALSE(render().isNull());
}

TEST_F(QVFaceplateSliderButtonTest, ClicksAndDragsSetTheValueAndSendOnce)
{
    QSignalSpy sent(slider, &QVFaceplateSliderButton::triggered);
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(50, 5));
    EXPECT_FLOAT_EQ(slider->floatValue(), 25.0f);
    EXPECT_EQ(sent.count(), 1);
    // Left of the control is 0.
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(-30, 5));
    EXPECT_FLOAT_EQ(slider->floatValue(), 0.0f);

    // A drag past the end, released outside: one action, at the end.
    sent.clear();
    mouse(slider, QEvent::MouseButtonPress, QPointF(20, 5));
    mouse(slider, QEvent::MouseMove, QPointF(120, 5));
    // Reports of the position do not move the handle away from the pointer.
    slider->setFloatValue(3.0f);
    EXPECT_FLOAT_EQ(slider->floatValue(), 60.0f);
    mouse(slider, QEvent::MouseMove, QPointF(400, 30));
    mouse(slider, QEvent::MouseButtonRelease, QPointF(400, 30));
    EXPECT_EQ(sent.count(), 1);
    EXPECT_FLOAT_EQ(slider->floatValue(), 100.0f);

    // The volume slider sends on every move: the sound follows the drag.
    slider->setContinuous(true);
    QList<int> values;
    QObject::connect(slider, &QVFaceplateSliderButton::triggered, [&] { values.append(slider->intValue()); });
    mouse(slider, QEvent::MouseButtonPress, QPointF(20, 5));
    mouse(slider, QEvent::MouseMove, QPointF(40, 5));
    mouse(slider, QEvent::MouseMove, QPointF(100, 5));
    mouse(slider, QEvent::MouseButtonRelease, QPointF(100, 5));
    EXPECT_EQ(values, (QList<int> { 10, 20, 50, 50 }));

    // A zero-width slider ignores the pointer and draws nothing.
    slider->resize(0, 16);
    slider->setFloatValue(40.0f);
    sent.clear();
    mouse(slider, QEvent::MouseButtonPress, QPointF(0, 5));
    mouse(slider, QEvent::MouseButtonRelease, QPointF(0, 5));
    EXPECT_EQ(sent.count(), 0);
    EXPECT_FLOAT_EQ(slider->floatValue(), 40.0f);
    EXPECT_TRUE(render().isNull());
}

TEST_F(QVFaceplateSliderButtonTest, KeysAndScreenReadersSetTheValue)
{
    slider->setFloatValue(50.0f);
    QSignalSpy sent(slider, &QVFaceplateSliderButton::triggered);
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(slider->intValue(), 51);

    QAccessibleValueInterface* value = QAccessible::queryAccessibleInterface(slider)->valueInterface();
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(value->maximumValue().toInt(), 100);
    value->setCurrentValue(30);
    EXPECT_EQ(slider->intValue(), 30);
    EXPECT_EQ(sent.count(), 2);
}

} // namespace
