#include "QVSubscriptionButtonView.h"
#include "QVFakeWebView.h"
#include "QVNotificationCenter.h"
#include "QVPushButtonTextCell.h"
#include "QVTestDefaults.h"
#include "QVTextPushButton.h"
#include "QVUIConstantsService.h"
#include "QVWebNavigationService.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEnterEvent>
#include <QImage>

namespace {

// The bar with the account's facts set by the test.
class TestableSubscriptionButtonView : public QVSubscriptionButtonView
{
public:
    using QVSubscriptionButtonView::QVSubscriptionButtonView;
    bool isUserFreeLimitedAccount() const override { return limited; }
    int freeLimitedPercentRemaining() const override { return percent; }
    bool hasBillingFailure() const override { return billing; }
    bool limited = true;
    int percent = 50;
    bool billing = false;
};

class QVSubscriptionButtonViewTest : public ::testing::Test
{
protected:
    QVSubscriptionButtonViewTest()
        : constants(&center, defaults.get(), "10.10")
        , navigation(&center, &constants)
    {
        navigation.setWebView(&page);
    }

    // Flat colours only: no gloss images, no visible title.
    static void flatten(QVSubscriptionButtonView& view)
    {
        QVPushButtonTextCell* cell = view.pushButton()->textCell();
        cell->setBackgroundImage(QVImage());
        cell->setEndcapImage(QVImage());
        cell->setTextColor(Qt::transparent);
        cell->setInactiveTextColor(Qt::transparent);
        cell->setShouldUseTextShadow(false);
    }

    // Laid out as the title bar places it, in no active window.
    static void place(QWidget& view, int width)
    {
        view.setAttribute(Qt::WA_DontShowOnScreen);
        view.resize(width, 19);
        view.show();
    }

    static QImage render(QWidget& view)
    {
        QImage image(view.size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        view.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }

    static bool same(const QColor& a, const QColor& b)
    {
        return qAbs(a.red() - b.red()) <= 2 && qAbs(a.green() - b.green()) <= 2
            && qAbs(a.blue() - b.blue()) <= 2 && qAbs(a.alpha() - b.alpha()) <= 2;
    }

    static void hover(QVSubscriptionButtonView& view, bool inside)
    {
        if (inside) {
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
            QCoreApplication::sendEvent(view.pushButton(), &enter);
        } else {
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(view.pushButton(), &leave);
        }
    }

    QVNotificationCenter center;
    QVTestDefaults defaults;
    QVUIConstantsService constants;
    QVFakeWebView page;
    QVWebNavigationService navigation;
};

} // namespace

TEST_F(QVSubscriptionButtonViewTest, TheBarShowsWhatRemainsWithinItsEnds)
{
    const struct {
        int percent;
        int leftWidth; // of a 100-point bar
        const char* title;
        QColor left;
        QColor right;
    } cases[] = {
        { 0, 0, "Previews Only", QColor(220, 59, 52), QColor(138, 40, 40) },
        { 1, 5, "Free Music", QColor(220, 59, 52), QColor(138, 40, 40) }, // drawn as 5
        { 3, 4, "Free Music", QColor(255, 174, 0), QColor(178, 121, 0) }, // at least 4
        { 50, 50, "Free Music", QColor(127, 191, 70), QColor(89, 133, 49) },
        { 150, 100, "Free Music", QColor(127, 191, 70), QColor(89, 133, 49) },
        { -5, 0, "Previews Only", QColor(220, 59, 52), QColor(138, 40, 40) },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.percent);
        TestableSubscriptionButtonView view(nullptr, &navigation);
        view.percent = c.percent;
        flatten(view);
        view.onUserFreeLimitedStatusUpdate();
        place(view, 160);
        EXPECT_EQ(view.pushButton()->title(), c.title);
        const QRect bar = view.pushButton()->geometry();
        EXPECT_EQ(bar.right(), view.width() - 1); // right edge fixed
        EXPECT_GE(bar.left(), 0);
        EXPECT_EQ(view.leftWidth(100), c.leftWidth);

        // Not in an active window: the colours at 0.9.
        QColor left = c.left, right = c.right;
        left.setAlphaF(0.9f);
        right.setAlphaF(0.9f);
        const QImage image = render(view);
        const int split = bar.x() + view.leftWidth(bar.width());
        for (int x = 0; x < view.width(); ++x) {
            const QColor pixel = image.pixelColor(x, 2);
            if (x < bar.x())
                EXPECT_EQ(pixel.alpha(), 0) << "outside the bar at " << x;
            else if (x < split)
                EXPECT_TRUE(same(pixel, left)) << "left part at " << x;
            else
                EXPECT_TRUE(same(pixel, right)) << "right part at " << x;
        }
        // Rounded lower corners, a square top.
        EXPECT_EQ(image.pixelColor(bar.right(), view.height() - 2).alpha(), 0);
        EXPECT_GT(image.pixelColor(bar.right(), 0).alpha(), 200);
    }
}

TEST_F(QVSubscriptionButtonViewTest, HoverTurnsBlueAndKeepsTheWidth)
{
    TestableSubscriptionButtonView view(nullptr, &navigation);
    view.percent = 10;
    flatten(view);
    view.onUserFreeLimitedStatusUpdate();
    place(view, 200);
    const QRect before = view.pushButton()->geometry();

    hover(view, true);
    EXPECT_TRUE(view.isMouseOver());
    EXPECT_EQ(view.pushButton()->title(), "More Info");
    EXPECT_EQ(view.pushButton()->geometry(), before);
    QColor blue(57, 116, 197);
    blue.setAlphaF(0.9f);
    const QImage image = render(view);
    EXPECT_TRUE(same(image.pixelColor(before.left() + 1, 2), blue));
    EXPECT_TRUE(same(image.pixelColor(before.right() - 1, 2), blue));

    hover(view, false);
    EXPECT_EQ(view.pushButton()->title(), "Free Music");
    EXPECT_EQ(view.pushButton()->geometry(), before);
    EXPECT_TRUE(same(render(view).pixelColor(before.left() + 1, 2), QColor(255, 174, 0, 230)));

    view.billing = true;
    view.onUserBillingFailure();
    EXPECT_EQ(view.pushButton()->title(), "Billing Error. Click Here to Resolve.");
    EXPECT_GT(view.pushButton()->width(), before.width());
}

TEST_F(QVSubscriptionButtonViewTest, ShownOnlyForLimitedAccountsAndHiddenInTheProduct)
{
    TestableSubscriptionButtonView view(nullptr, &navigation);
    view.limited = false;
    view.onUserLoggedIn();
    EXPECT_TRUE(view.isHidden());
    view.limited = true;
    view.onUserSubscriptionTypeChanged();
    EXPECT_FALSE(view.isHidden());
    view.onUserLoggedOut();
    EXPECT_TRUE(view.isHidden());

    // The program's own answers: nobody has a limited allowance.
    QVSubscriptionButtonView product(nullptr, &navigation);
    product.onUserLoggedIn();
    EXPECT_TRUE(product.isHidden());

    // A click goes to the subscription settings.
    page.scripts.clear();
    view.pushButton()->click();
    EXPECT_TRUE(page.scripts.join('\n').contains("/management/subscriptions/"));
}
