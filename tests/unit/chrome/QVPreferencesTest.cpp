#include "QVAboutWindow.h"
#include "QVConstants.h"
#include "QVFakeWebView.h"
#include "QVLocationWindow.h"
#include "QVNavigationController.h"
#include "QVNotificationCenter.h"
#include "QVPreferencesController.h"
#include "QVTestDefaults.h"
#include "QVTextPushButton.h"
#include "QVUIConstantsService.h"
#include "QVUserSignedInPrefView.h"
#include "QVWebNavigationService.h"
#include "QVWindowService.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

class QVPreferencesTest : public ::testing::Test
{
protected:
    QVPreferencesTest()
        : constants(&center, defaults.get(), "10.10")
        , navigation(&center, &constants)
        , controller(QVPreferencesController::Services {
              &navigation, defaults.get(), QVNotificationCenter::defaultCenter() })
    {
        navigation.setWebView(&page);
        controller.awakeFromNib();
        controller.setShowsDesktopDecidesNote(false);
    }

    void setAccount(bool subscriber, int type, const QString& first = "Ann", const QString& last = "Lee")
    {
        page.answers.insert("Q.currentUser.get('subscription') != null", subscriber ? "true" : "false");
        page.answers.insert("Q.currentUser.get('subscription_type')", QString::number(type));
        page.answers.insert("Q.currentUser.get('first_name')", first);
        page.answers.insert("Q.currentUser.get('last_name')", last);
    }

    QVNotificationCenter center;
    QVTestDefaults defaults;
    QVUIConstantsService constants;
    QVFakeWebView page;
    QVWebNavigationService navigation;
    QVPreferencesController controller;
};

// Every control a person operates, found by walking the accessible tree.
struct Control {
    QAccessible::Role role;
    QString name;
    QAccessible::State state;
};

void collect(QAccessibleInterface* node, QList<Control>& out, int depth = 0)
{
    if (!node || depth > 20)
        return;
    const QAccessible::Role role = node->role();
    if (role == QAccessible::PushButton || role == QAccessible::CheckBox || role == QAccessible::EditableText
        || role == QAccessible::Link)
        out.append({ role, node->text(QAccessible::Name), node->state() });
    for (int i = 0; i < node->childCount(); ++i)
        collect(node->child(i), out, depth + 1);
}

} // namespace

TEST_F(QVPreferencesTest, SigningInGrowsTheWindowDownwardsAndPlanChangesReachTheAccountPane)
{
    QWidget* window = controller.prefsWindow();
    window->move(100, 80);
    controller.showPreferences();
    const int base = window->height();
    const QPoint topLeft = window->pos();

    setAccount(true, 2);
    const int before = page.roundTrips;
    controller.onUserLoggedIn();
    EXPECT_EQ(page.roundTrips, before + 1); // the account in one read
    EXPECT_EQ(window->height(), base + QVUserSignedInPrefView::kHeight);
    EXPECT_EQ(window->pos(), topLeft);
    EXPECT_EQ(controller.signedInView()->accountNameTextField()->text(), "Ann Lee");
    EXPECT_EQ(controller.signedInView()->subscriptionTypeTextField()->text(), "Quiv Unlimited");

    setAccount(true, 0);
    controller.onUserSubscriptionTypeChanged();
    EXPECT_EQ(controller.signedInView()->subscriptionTypeTextField()->text(), "No Subscription");
    // A page that does not answer leaves the pane as it was.
    page.responsive = false;
    controller.onUserSubscriptionTypeChanged();
    EXPECT_EQ(controller.signedInView()->subscriptionTypeTextField()->text(), "No Subscription");
    EXPECT_EQ(controller.signedInView()->accountNameTextField()->text(), "Ann Lee");
    page.responsive = true;

    controller.onUserLoggedOut();
    EXPECT_TRUE(controller.signedInView()->isHidden());
    EXPECT_EQ(window->height(), base);
    EXPECT_EQ(window->pos(), topLeft);

    // Where the desktop decides, the window says so and makes room for it.
    controller.setShowsDesktopDecidesNote(true);
    EXPECT_GT(window->height(), base);
    EXPECT_FALSE(controller.desktopDecidesNote()->text().isEmpty());
}

TEST_F(QVPreferencesTest, CheckBoxesFollowTheSettingsWhateverTheirType)
{
    const QString onTop = QVIsMiniPlayerAlwaysOnTopKey;
    const QString allSpaces = QVIsMiniPlayerOnAllSpacesKey;
    const struct {
        const char* label;
        QVariant value;
        bool checked;
    } cases[] = {
        { "yes", true, true },
        { "no", false, false },
        { "text yes", "YES", true },
        { "garbage", "garbage", false },
        { "list", QVariantList { 1, 2 }, false },
        { "map", QVariantMap { { "a", 1 } }, false },
        { "number", 3.5, true },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        defaults->setValue(c.value, onTop);
        defaults->setValue(c.value, allSpaces);
        EXPECT_EQ(controller.alwaysOnTopButton()->isChecked(), c.checked);
        EXPECT_EQ(controller.keepInAllSpacesButton()->isChecked(), c.checked);
    }

    // The user's click stores a plain yes or no.
    defaults->setValue(false, onTop);
    defaults->setValue(false, allSpaces);
    controller.prefsWindow()->show();
    controller.alwaysOnTopButton()->click();
    EXPECT_EQ(defaults->objectForKey(onTop).toBool(), true);
    controller.keepInAllSpacesButton()->click();
    controller.keepInAllSpacesButton()->click();
    EXPECT_EQ(defaults->objectForKey(allSpaces).toBool(), false);
}

// The trial's days round up; an unknown plan shows nothing. (The named plans
// are read through the controller above.)
TEST(QVUserSignedInPrefView, TrialAndUnknownPlanTexts)
{
    const QDateTime now(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);
    const struct {
        bool subscriber;
        int type;
        QDateTime trialEnd;
        const char* plan;
    } cases[] = {
        { true, 7, {}, "" },
        { false, 0, now.addSecs(2 * 86400 + 3600), "Free trial period is ending in 3 days" },
        { false, 0, now.addSecs(3600), "Free trial period is ending in 1 day" },
        { false, 0, now.addSecs(-60), "Your free trial has expired" },
        { false, 0, {}, "Your free trial has expired" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.plan);
        const auto texts = QVUserSignedInPrefView::textsFor(c.subscriber, c.type, c.trialEnd, now);
        EXPECT_EQ(texts.plan, c.plan);
        EXPECT_EQ(texts.button, "Subscribe to Quiv");
    }
}

TEST_F(QVPreferencesTest, EveryWindowNamesItsControls)
{
    setAccount(false, 0);
    controller.onUserLoggedIn();
    controller.showPreferences();
    defaults->setValue(true, QVIsMiniPlayerAlwaysOnTopKey);
    QVAboutWindow about;
    about.show();
    QVLocationWindow location;
    location.show();

    QStringList checked;
    QStringList focusableButtons;
    // The about window's own contents; its title bar's buttons are the window's.
    for (QWidget* window :
        { controller.prefsWindow(), about.contentView(), static_cast<QWidget*>(&location) }) {
        SCOPED_TRACE(qPrintable(window->windowTitle()));
        QList<Control> controls;
        collect(QAccessible::queryAccessibleInterface(window), controls);
        EXPECT_FALSE(controls.isEmpty());
        for (const Control& control : controls) {
            EXPECT_FALSE(control.name.trimmed().isEmpty()) << "role " << control.role;
            if (control.role == QAccessible::CheckBox && control.state.checked)
                checked << control.name;
            if (control.role == QAccessible::PushButton && control.state.focusable)
                focusableButtons << control.name;
        }
    }
    EXPECT_EQ(checked, QStringList({ controller.alwaysOnTopButton()->text() }));
    // The about window's three links, reachable from the keyboard.
    for (const char* link : { "Terms of Service", "Payment Terms", "Privacy Policy" })
        EXPECT_TRUE(focusableButtons.contains(link)) << link;
}

TEST_F(QVPreferencesTest, AboutShowsTheVersionAndLeadsToTheLegalPages)
{
    QVWindowService windowService(
        QVWindowService::Services { &navigation, &center, defaults.get(), &constants });
    QStringList opened;
    QVNavigationController navigationController(QVNavigationController::Services { &center, &navigation,
        &constants, &windowService, [&](const QUrl& url) { opened.append(url.toString()); }, {} });

    QVAboutWindow about;
    EXPECT_EQ(about.versionTextField()->text(), QStringLiteral("Version " QUIV_VERSION));
    EXPECT_TRUE(about.appCopyrightTextField()->text().contains(QString::number(QDate::currentDate().year())));
    about.serviceTermsButton()->click(); // no controller yet: nothing
    EXPECT_TRUE(opened.isEmpty());
    about.setNavigationController(&navigationController);
    about.serviceTermsButton()->click();
    about.paymentTermsButton()->click();
    about.privacyPolicyButton()->click();
    const QString base = constants.quivURL();
    EXPECT_EQ(opened,
        QStringList({ base + "/legal/tos/", base + "/legal/paymentterms/", base + "/legal/privacypolicy/" }));
}

TEST(QVLocationWindow, ReturnLoadsAndTheSheetIsModalToItsWindow)
{
    QWidget parent;
    parent.show();
    QVLocationWindow location;
    int loads = 0;
    QObject::connect(&location, &QVLocationWindow::loadLocationRequested, [&] { ++loads; });
    location.showLocation("https://www.quiv.example/", &parent);
    EXPECT_EQ(location.windowModality(), Qt::WindowModal);
    EXPECT_EQ(location.parentWidget(), &parent);
    QTest::keyClick(location.locationTextField(), Qt::Key_Return);
    location.showLocation("https://www.quiv.example/", &parent);
    location.closeButton()->click();
    EXPECT_FALSE(location.isVisible());
    EXPECT_EQ(loads, 1);
}
