#include "QVAboutWindow.h"
#include "QVConstants.h"
#include "QVFakeWebView.h"
#include "QVLocationWindow.h"
#include "QVNotificationCenter.h"
#include "QVPreferencesController.h"
#include "QVTestDefaults.h"
#include "QVUIConstantsService.h"
#include "QVUserSignedInPrefView.h"
#include "QVWebNavigationService.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QCheckBox>
#include <QDate>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

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

    void setAccount(bool subscriber, int type)
    {
        page.answers["Q.currentUser.get('subscription') != null"] = subscriber ? "true" : "false";
        page.answers["Q.currentUser.get('subscription_type')"] = QString::number(type);
        page.answers["Q.currentUser.get('first_name')"] = "Ann";
        page.answers["Q.currentUser.get('last_name')"] = "Lee";
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

    // A change of plan reaches the account pane, not only the check boxes.
    setAccount(true, 0);
    controller.onUserSubscriptionTypeChanged();
    EXPECT_EQ(controller.signedInView()->subscriptionTypeTextField()->text(), "No Subscription");

    controller.onUserLoggedOut();
    EXPECT_EQ(window->height(), base);
    EXPECT_EQ(window->pos(), topLeft);

    // Where the desktop decides, the window says so and makes room for it.
    controller.setShowsDesktopDecidesNote(true);
    EXPECT_GT(window->height(), base);
    EXPECT_FALSE(controller.desktopDecidesNote()->text().isEmpty());
}

TEST_F(QVPreferencesTest, EveryWindowNamesItsControlsAndCheckBoxesFollowTheSettings)
{
    setAccount(false, 0);
    controller.onUserLoggedIn();
    controller.showPreferences();
    // Settings of other types: a text yes checks, a list does not.
    defaults->setValue("YES", QVIsMiniPlayerAlwaysOnTopKey);
    defaults->setValue(QVariantList { 1, 2 }, QVIsMiniPlayerOnAllSpacesKey);
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
    // The about window's three links, reachable from the keyboard; its version and year.
    for (const char* link : { "Terms of Service", "Payment Terms", "Privacy Policy" })
        EXPECT_TRUE(focusableButtons.contains(link)) << link;
    EXPECT_EQ(about.versionTextField()->text(), QStringLiteral("Version " QUIV_VERSION));
    EXPECT_TRUE(about.appCopyrightTextField()->text().contains(QString::number(QDate::currentDate().year())));
}
