#include "QVDemoClientFixture.h"
#include "QVNavigationController.h"
#include "QVScriptValue.h"
#include "QVTestWait.h"
#include "QVWebView.h"
#include "QVWindowService.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// Links of the demo page's header that name a window, followed on the real
// page: the engine asks for a new tab, the bridge said which window.
class QVLinkTargetPageTest : public QVDemoClientFixture
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
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

        QSignalSpy finished(&view, &QWebEngineView::loadFinished);
        view.load(QUrl(demo.baseUrl() + "/"));
        ASSERT_TRUE(finished.wait(15000));
        // Record what the router is asked, and keep it from going anywhere.
        view.evaluate("window.routed = []; Q.router.navigate = function (p) { routed.push(p); }; 1");
    }

    QWidget* input() { return view.focusProxy() ? view.focusProxy() : &view; }

    std::unique_ptr<QVWindowService> windows;
    std::unique_ptr<QVNavigationController> controller;
    QVWebView view;
    QStringList opened;
};

} // namespace

TEST_F(QVLinkTargetPageTest, ANamedServiceLinkIsRoutedInTheProgramAndOthersLeave)
{
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
    view.evaluate("window.sameDocument = true; 1");
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
            QTest::keyClick(input(), Qt::Key_Return);
        else
            QTest::mouseClick(input(), c.button, {}, QPoint(xy[0].toDouble(), xy[1].toDouble()));
        ASSERT_TRUE(
            QVWaitUntil([&] { return !opened.isEmpty() || view.evaluate("routed.length") != "0"; }, 5000));
        QTest::qWait(100); // nothing more follows
        EXPECT_EQ(view.evaluate("routed.join(' ')").toStdString(), c.routed.toStdString());
        EXPECT_EQ(opened.join(' ').toStdString(), c.opened.toStdString());
    }
    // The page stayed where it was.
    EXPECT_EQ(view.evaluate("window.sameDocument"), "true");
}
