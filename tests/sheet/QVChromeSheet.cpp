// Draws the loading and offline views, the preferences with the account pane,
// the about window and a pop-up into one labelled PNG, so that anyone can look
// at them without a service: quiv-chrome-sheet out.png
#include "QVAboutWindow.h"
#include "QVFakeWebView.h"
#include "QVLoadingWindowView.h"
#include "QVNavigationController.h"
#include "QVNotificationCenter.h"
#include "QVPreferencesController.h"
#include "QVSheet.h"
#include "QVTestWait.h"
#include "QVUIConstantsService.h"
#include "QVUserDefaults.h"
#include "QVWebContentChildWindow.h"
#include "QVWebNavigationService.h"
#include "QVWindowService.h"

#include <QScreen>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWindow>

namespace {

QImage grabShown(QWidget* window)
{
    window->show();
    window->raise();
    QVWaitUntil([&] { return window->windowHandle() && window->windowHandle()->isExposed(); }, 3000);
    QTest::qWait(300);
    return window->grab().toImage();
}

// A pop-up's page is drawn by the engine: take it off the screen.
QImage grabFromScreen(QWidget* window)
{
    window->show();
    window->raise();
    QTest::qWait(1500);
    QScreen* screen = window->screen();
    const QRect frame = window->geometry();
    return screen->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).toImage();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: quiv-chrome-sheet out.png\n");
        return 2;
    }
    QTemporaryDir dir;
    QVNotificationCenter center;
    QVUserDefaults defaults(dir.filePath(QStringLiteral("Quiv.conf")), &center);
    QVUIConstantsService constants(&center, &defaults, QStringLiteral("10.10"));
    QVFakeWebView page;
    page.answers["Q.currentUser.get('subscription') != null"] = "true";
    page.answers["Q.currentUser.get('subscription_type')"] = "2";
    page.answers["Q.currentUser.get('first_name')"] = "Ann";
    page.answers["Q.currentUser.get('last_name')"] = "Lee";
    QVWebNavigationService navigation(&center, &constants);
    navigation.setWebView(&page);

    QVSheetShots shots;

    QWidget loadingHost;
    loadingHost.resize(400, 300);
    auto* loading = new QVLoadingWindowView(&loadingHost);
    loading->setGeometry(loadingHost.rect());
    shots.append({ QStringLiteral("Loading"), grabShown(&loadingHost) });
    loading->setIsOffline(true);
    shots.append({ QStringLiteral("Offline"), grabShown(&loadingHost) });
    loadingHost.hide();

    defaults.setValue(true, QString::fromLatin1("IsMiniPlayerAlwaysOnTop"));
    QVPreferencesController preferences({ &navigation, &defaults, &center });
    preferences.awakeFromNib();
    preferences.onUserLoggedIn();
    shots.append({ QStringLiteral("Preferences, signed in"), grabShown(preferences.prefsWindow()) });
    preferences.prefsWindow()->hide();

    QVAboutWindow about;
    shots.append({ QStringLiteral("About"), grabShown(&about) });
    about.hide();

    QVWindowService windows({ &navigation, &center, &defaults, &constants });
    QVNavigationController::Services services { &center, &navigation, &constants, &windows,
        [](const QUrl&) {}, false };
    QVNavigationController controller(services);
    QVWebContentChildWindow* popup
        = controller.createWebViewWithRequest(QWebEngineProfile::defaultProfile(), QSize(420, 260));
    bool loaded = false;
    QObject::connect(popup->page(), &QWebEnginePage::loadFinished, [&] { loaded = true; });
    popup->page()->setHtml(QStringLiteral(
        "<body style='font-family:sans-serif;margin:24px'><h2>A pop-up</h2>"
        "<p>Opened by the page with <code>window.open</code>: a plain window, none of the client's objects."
        "</p><p><a href='https://www.quiv.example/' target='_blank'>A link that leaves</a></p></body>"));
    QVWaitUntil([&] { return loaded; }, 10000);
    shots.append({ QStringLiteral("Pop-up"), grabFromScreen(popup) });
    controller.closeChildWindows();
    return writeSheet(shots, QString::fromLocal8Bit(argv[1]));
}
