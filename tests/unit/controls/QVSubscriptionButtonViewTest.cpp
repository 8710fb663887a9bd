#include "QVSubscriptionButtonView.h"
#include "QVControlsTestSupport.h"
#include "QVNotificationCenter.h"
#include "QVPushButtonTextCell.h"
#include "QVTestDefaults.h"
#include "QVTextPushButton.h"
#include "QVUIConstantsService.h"
#include "QVWebNavigationService.h"

#include <gtest/gtest.h>

using namespace QVControlsTest;

namespace {

// The bar with the account's facts set by the test.
class TestableSubscriptionButtonView : public QVSubscriptionButtonView
{
public:
    using QVSubscriptionButtonView::QVSubscriptionButtonView;
    bool isUserFreeLimitedAccount() const override { return limited; }
    int freeLimitedPercentRemaining() const override { return percent; }
    bool limited = true;
    int percent = 50;
};

class QVSubscriptionButtonViewTest : public ::testing::Test
{
protected:
    QVSubscriptionButtonViewTest()
        : constants(&center, defaults.get(), "10.10")
        , navigation(&center, &constants)
    {
    }

    // Flat colours only (no gloss, no visible title), laid out as the title bar places it.
    static void place(QVSubscriptionButtonView& view, int width)
    {
        QVPushButtonTextCell* cell = view.pushButton()->textCell();
        cell->setBackgroundImage(QVImage());
        cell->setEndcapImage(QVImage());
        cell->setTextColor(Qt::transparent);
        cell->setInactiveTextColor(Qt::transparent);
        cell->setShouldUseTextShadow(false);
        view.onUserFreeLimitedStatusUpdate();
        view.setAttribute(Qt::WA_DontShowOnScreen);
        view.resize(width, 19);
        view.show();
    }

    QVNotificationCenter center;
    QVTestDefaults defaults;
    QVUIConstantsService constants;
    QVWebNavigationService navigation;
};

} // namespace

// What remains is drawn inside the bar, however far out of range the account's answer is;
// hovered, the whole bar turns blue in the same place.
TEST_F(QVSubscriptionButtonViewTest, TheBarShowsWhatRemainsWithinItsEnds)
{
    const struct {
        int percent;
        int leftWidth; // of a 100-point bar
        const char* title;
        char colour; // red, orange or green
    } cases[] = {
        { 0, 0, "Previews Only", 'r' },
        { 1, 5, "Free Music", 'r' }, // drawn as 5
        { 3, 4, "Free Music", 'o' }, // at least 4
        { 50, 50, "Free Music", 'g' },
        { 150, 100, "Free Music", 'g' },
        { -5, 0, "Previews Only", 'r' },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.percent);
        TestableSubscriptionButtonView view(nullptr, &navigation);
        view.percent = c.percent;
        place(view, 160);
        EXPECT_EQ(view.pushButton()->title(), c.title);
        EXPECT_EQ(view.leftWidth(100), c.leftWidth);
        const QColor expected = c.colour == 'r' ? view.redActiveColor()
            : c.colour == 'o'                   ? view.orangeActiveColor()
                                                : view.greenActiveColor();
        EXPECT_EQ(view.currentLeftColor().rgb(), expected.rgb());

        const QRect bar = view.pushButton()->geometry();
        const QImage image = snapshot(&view);
        const int split = bar.x() + view.leftWidth(bar.width());
        for (int x = 0; x < view.width(); ++x) {
            const QColor pixel = image.pixelColor(x, 2);
            if (x < bar.x())
                EXPECT_EQ(pixel.alpha(), 0) << "outside the bar at " << x;
            else
                EXPECT_TRUE(sameRgb(pixel, x < split ? view.currentLeftColor() : view.currentRightColor()))
                    << x;
        }
        // Hovered: blue, "More Info", the same place.
        enter(view.pushButton(), QPointF(5, 5));
        EXPECT_EQ(view.pushButton()->title(), "More Info");
        EXPECT_EQ(view.pushButton()->geometry(), bar);
        EXPECT_TRUE(sameRgb(snapshot(&view).pixelColor(bar.right() - 1, 2), view.blueRolloverColor()));
        leave(view.pushButton());
        EXPECT_EQ(view.pushButton()->title(), c.title);
    }
}

TEST_F(QVSubscriptionButtonViewTest, ShownOnlyForLimitedAccountsAndHiddenInTheProduct)
{
    TestableSubscriptionButtonView view(nullptr, &navigation);
    view.limited = false;
    view.onUserLoggedIn();
    EXPECT_TRUE(view.isHidden());
    // A change of plan alone shows it.
    view.limited = true;
    view.onUserSubscriptionTypeChanged();
    EXPECT_FALSE(view.isHidden());
    view.onUserLoggedOut();
    EXPECT_TRUE(view.isHidden());

    // The program's own answers: nobody has a limited allowance.
    QVSubscriptionButtonView product(nullptr, &navigation);
    product.onUserLoggedIn();
    EXPECT_TRUE(product.isHidden());
}
