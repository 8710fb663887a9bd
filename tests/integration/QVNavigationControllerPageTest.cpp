#include "QVDemoClientFixture.h"
#include "QVNavigationController.h"
#include "QVScriptValue.h"
#include "QVTestWait.h"
#include "QVWebContentChildWindow.h"
#include "QVWebView.h"
#include "QVWindowService.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineProfile>

namespace {

// The navigation controller on a real page of the demo service.
class QVNavigationControllerPageTest : public QVDemoClientFixture
{
protected:
    void SetUp() override
    {
        startDemo();
        if (HasFatalFailure())
            return;
        windows = std::make_unique<QVWindowService>(
            QVWindowService::Services { navigation.get(), &center, defaults.get(), constants.get() });
        QVNavigationController::Services services { &center, navigation.get(), constants.get(), windows.get(),
            [this](const QUrl& url) { opened.append(url.toString()); }, false };
        controller = std::make_unique<QVNavigationController>(services);
        view.resize(1000, 700);
        view.setServiceURL(QUrl(demo.baseUrl()));
        controller->setWebView(&view);

        QSignalSpy finished(&view, &QWebEngineView::loadFinished);
        view.load(QUrl(demo.baseUrl() + "/"));
        ASSERT_TRUE(finished.wait(15000));
        // Record what the router is asked, and keep it from going anywhere.
        view.evaluate("window.routed = []; Q.router.navigate = function (p) { routed.push(p); }; 1");
    }

    QString evaluate(const QString& script) { return view.evaluate(script); }
    // Where the engine takes mouse and keys.
    static QWidget* input(QWidget* view) { return view->focusProxy() ? view->focusProxy() : view; }

    std::unique_ptr<QVWindowService> windows;
    std::unique_ptr<QVNavigationController> controller;
    QVWebView view;
    QStringList opened;
};

} // namespace

TEST_F(QVNavigationControllerPageTest, HostilePathsStayTextAndOurSchemeIsHandledInPlace)
{
    // A hostile path reaches the router as the same text and runs nothing.
    const QString path = "/album/x');window.pwned=1;//\"</script><img/src=x/onerror=window.pwned=2>";
    controller->handleURLLoad(demo.baseUrl() + path);
    ASSERT_TRUE(QVWaitUntil([&] { return evaluate("routed.length") == "1"; }, 5000));
    EXPECT_EQ(evaluate("routed[0]"), path);
    EXPECT_EQ(evaluate("typeof window.pwned"), "undefined");

    // A click on a link to our scheme is refused in place and routed once
    // the engine's callback has returned.
    int downloads = 0;
    center.addObserver(this, QVCheckForDownloadsNotification, [&](const QVNotification&) { ++downloads; });
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    evaluate("var a = document.createElement('a'); a.href = 'quiv://downloads'; a.textContent = 'x';"
             "a.style.cssText = "
             "'position:fixed;left:0;top:0;width:200px;height:200px;display:block;z-index:99999';"
             "document.body.appendChild(a); 1");
    QTest::qWait(200);
    QTest::mouseClick(input(&view), Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_TRUE(QVWaitUntil([&] { return downloads == 1; }, 5000));
    EXPECT_EQ(view.url().host(), "127.0.0.1");
    center.removeObserver(this);
}

namespace {
// A read from a plain page (pop-ups have none of our readers). The answer may
// come after the wait gives up: it must not write into a finished call.
QString runIn(QWebEnginePage* page, const QString& script)
{
    struct Answer {
        QString text;
        bool done = false;
    };
    const auto answer = std::make_shared<Answer>();
    QPointer<QWebEnginePage> alive(page);
    page->runJavaScript(script, [answer](const QVariant& value) {
        answer->text = value.toString();
        answer->done = true;
    });
    QVWaitUntil([&] { return answer->done || !alive; }, 5000);
    return answer->text;
}

void expectCentredInScreen(QWidget* window)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_NEAR(window->geometry().center().x(), area.center().x(), 1);
    EXPECT_NEAR(window->geometry().center().y(), area.center().y(), 1);
}
} // namespace

TEST_F(QVNavigationControllerPageTest, PopUpsNestStayPlainAndCloseThemselves)
{
    view.show();
    view.executeJavascript("window.open('/test/bridge.html', 'first', 'width=300,height=200')");
    ASSERT_TRUE(QVWaitUntil([&] { return controller->childWindows().size() == 1; }, 5000));
    QPointer<QVWebContentChildWindow> first = controller->childWindows().first();
    expectCentredInScreen(first);

    // The main profile, none of our objects, no channel.
    EXPECT_EQ(first->page()->profile(), view.page()->profile());
    ASSERT_TRUE(QVWaitUntil([&] { return !runIn(first->page(), "document.readyState").isEmpty(); }, 5000));
    EXPECT_EQ(runIn(first->page(), "[typeof window.DesktopScriptObject, typeof window.qt].join()"),
        "undefined,undefined");

    // A pop-up of the pop-up: as big as the first one's page, centred too.
    runIn(first->page(), "window.open('/test/bridge.html', 'second', 'width=200,height=100'); 1");
    ASSERT_TRUE(QVWaitUntil([&] { return controller->childWindows().size() == 2; }, 5000));
    QPointer<QVWebContentChildWindow> second = controller->childWindows().at(1);
    EXPECT_EQ(second->webView()->size(), first->webView()->size());
    expectCentredInScreen(second);

    // Its links that want a new window leave for http, https and mailto only.
    for (const char* url : { "file:///etc/passwd", "javascript:alert(1)", "data:text/html,x" })
        second->decidePolicyForNewWindowAction(QUrl(url));
    second->decidePolicyForNewWindowAction(QUrl("https://example.org/terms"));
    EXPECT_EQ(opened, QStringList { "https://example.org/terms" });

    // window.close() closes the window the page is in.
    runIn(second->page(), "window.close(); 1");
    EXPECT_TRUE(QVWaitUntil([&] { return second.isNull(); }, 5000));
    EXPECT_EQ(controller->childWindows().size(), 1);

    // A blank pop-up its opener writes into crashes the engine once drawn:
    // it stays hidden until its page loads an address.
    view.executeJavascript("window.w = window.open('', 'blank', 'width=300,height=200');"
                           "window.w.document.write('<p>written</p>'); window.w.document.close()");
    ASSERT_TRUE(QVWaitUntil([&] { return controller->childWindows().size() == 2; }, 5000));
    QPointer<QVWebContentChildWindow> blank = controller->childWindows().last();
    QTest::qWait(500);
    EXPECT_FALSE(blank->isVisible());
    view.executeJavascript("window.w.location = '/test/bridge.html'");
    EXPECT_TRUE(QVWaitUntil([&] { return blank && blank->isVisible(); }, 5000));

    // At exit every pop-up goes before the profile does.
    controller->closeChildWindows();
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(blank.isNull());
}

// Links of the demo page's header that name a window: the engine asks for a
// new tab, the bridge said which window.
TEST_F(QVNavigationControllerPageTest, ANamedServiceLinkIsRoutedInTheProgramAndOthersLeave)
{
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    struct Case {
        const char* selector;
        Qt::MouseButton button; // Qt::NoButton: focused and activated with Return
        QString routed; // the router's path, or
        QString opened; // the address handed to the desktop
    };
    const Case cases[] = {
        { "a[target=quivhelp]", Qt::LeftButton, "/help/", "" },
        { "a[target=quivhelp]", Qt::MiddleButton, "/help/", "" },
        { "a[target=quivhelp]", Qt::NoButton, "/help/", "" },
        { "a[target=_blank]", Qt::LeftButton, "", demo.baseUrl() + "/legal/tos/" },
        { "a[target=quivpartner]", Qt::LeftButton, "", "https://partner.quiv.example/" },
    };
    evaluate("window.sameDocument = true; 1");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.selector) + " button " + std::to_string(int(c.button)));
        view.evaluate("routed = []; 1"); // the router is ours
        opened.clear();
        // Focused for the key, its centre for the mouse.
        const QStringList xy = view.evaluate(QString("var r = document.querySelector(%1); r.focus();"
                                                     "r = r.getBoundingClientRect();"
                                                     "(r.left + r.width / 2) + ',' + (r.top + r.height / 2)")
                                                 .arg(QVScriptValue::literal(c.selector)))
                                   .split(',');
        ASSERT_EQ(xy.size(), 2);
        if (c.button == Qt::NoButton)
            QTest::keyClick(input(&view), Qt::Key_Return);
        else
            QTest::mouseClick(input(&view), c.button, {}, QPoint(xy[0].toDouble(), xy[1].toDouble()));
        ASSERT_TRUE(
            QVWaitUntil([&] { return !opened.isEmpty() || view.evaluate("routed.length") != "0"; }, 5000));
        QTest::qWait(100); // nothing more follows
        EXPECT_EQ(view.evaluate("routed.join(' ')").toStdString(), c.routed.toStdString());
        EXPECT_EQ(opened.join(' ').toStdString(), c.opened.toStdString());
    }
    // The page stayed where it was.
    EXPECT_EQ(view.evaluate("window.sameDocument"), "true");
}
