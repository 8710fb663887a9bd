#include "QVDemoService.h"
#include "QVLogCapture.h"
#include "QVTestWait.h"
#include "QVWebView.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTimer>

// The unload at quit: the view goes to about:blank while the faceplate or
// the mirror may still be reading the service's page.
TEST(QVWebViewUnload, ReadsEndAtOnceWhenTheServicePageIsLeft)
{
    QVDemoService service;
    ASSERT_TRUE(service.start()) << qPrintable(service.errorString());
    QVWebView view;
    view.setServiceURL(QUrl(service.baseUrl()));
    const auto load = [&](const QUrl& url) {
        QSignalSpy finished(&view, &QWebEngineView::loadFinished);
        view.loadURL(url);
        // Not the blank page's own finish, if it comes late.
        return QVWaitUntil([&] { return !finished.isEmpty() && view.url() == url; }, 15000);
    };
    ASSERT_TRUE(load(QUrl(service.baseUrl() + "/test/bridge.html")));
    const QVLogCapture log;

    // A read the page takes a while over, with the unload starting inside its wait.
    QTimer::singleShot(50, &view, [&] { view.loadURL(QUrl("about:blank")); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(
        view.evaluate("(function () { var t = Date.now(); while (Date.now() - t < 600) {} return 1; })()"),
        "");
    EXPECT_LT(clock.elapsed(), 500);
    // And one sent after it started, before the blank page is in.
    clock.start();
    EXPECT_EQ(view.evaluate("1 + 1"), "");
    EXPECT_LT(clock.elapsed(), 100);
    EXPECT_TRUE(view.isResponsive()) << "leaving the page is not the page hanging";
    EXPECT_FALSE(log.lines().join("\n").contains("did not answer")) << qPrintable(log.lines().join("\n"));

    // Back on the service's page, reads are answered again.
    ASSERT_TRUE(QVWaitUntil([&] { return view.url() == QUrl("about:blank"); }, 5000));
    ASSERT_TRUE(load(QUrl(service.baseUrl() + "/test/bridge.html")));
    EXPECT_EQ(view.evaluate("1 + 1"), "2");
}
