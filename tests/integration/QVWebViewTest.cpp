#include "QVWebView.h"
#include "QVDemoService.h"
#include "QVDialogPresenter.h"
#include "QVLogCapture.h"
#include "QVScriptObject.h"
#include "QVTestWait.h"
#include "QVWebPage.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

class RecordingScriptObject : public QVScriptObject
{
public:
    QStringList exportedMethods() const override
    {
        return { QStringLiteral("ping"), QStringLiteral("echo") };
    }
    void invokeScriptMethod(const QString& method, const QVariantList& arguments) override
    {
        calls.append(arguments);
        if (onCall)
            onCall(method, arguments);
    }
    QList<QVariantList> calls;
    std::function<void(const QString&, const QVariantList&)> onCall;
};

class RecordingPresenter : public QVDialogPresenter
{
public:
    void showAlert(QWidget*, const QString& message) override { alerts.append(message); }
    bool askConfirm(QWidget*, const QString&) override { return ++questions > 0; }
    bool askPrompt(QWidget*, const QString&, const QString&, QString*) override { return ++questions > 0; }
    QStringList alerts;
    int questions = 0;
};

// The bridge test page, loaded from the service.
class QVWebViewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.start());
        view = std::make_unique<QVWebView>();
        view->setServiceURL(QUrl(service.baseUrl()));
        view->webPage()->setDialogPresenter(&presenter);
        view->setScriptObject(QStringLiteral("TestScriptObject"), &object);
        view->resize(800, 600);
        view->show();
        load();
        // Made at document start, before the channel connected: held, not lost.
        ASSERT_TRUE(QVWaitUntil([&] { return object.calls.size() >= 2; }));
        ASSERT_EQ(object.calls[0], QVariantList { QStringLiteral("early-1") });
    }

    // The test page, from the service or from another name for its host.
    void load(const QString& host = QString())
    {
        QUrl url(service.baseUrl() + "/test/bridge.html");
        if (!host.isEmpty())
            url.setHost(host);
        QSignalSpy finished(view.get(), &QWebEngineView::loadFinished);
        view->load(url);
        ASSERT_TRUE(QVWaitUntil([&] { return !finished.isEmpty() && view->url() == url; }, 15000));
        ASSERT_TRUE(finished.last().first().toBool());
    }

    QVDemoService service;
    RecordingPresenter presenter;
    RecordingScriptObject object;
    std::unique_ptr<QVWebView> view;
};

} // namespace

TEST_F(QVWebViewTest, ReadsGiveTheEngineText)
{
    EXPECT_EQ(view->evaluate("document.title"), "Bridge test page");
    EXPECT_EQ(view->evaluate("throw new Error('no')"), "");
    EXPECT_EQ(view->javascriptIntValue("'-7px'"), -7);

    // A batch reads each expression as if alone; one that throws spoils nothing.
    const QStringList batch { "42.9", "'abc';", "nosuch.thing", "1 < 2", "1e21", "Math.pow(2, 53) + 2",
        "null", "({a: 1})" };
    EXPECT_EQ(view->evaluateBatch(batch),
        (QStringList { "42.9", "abc", "", "true", "1e+21", "9007199254740994", "", "" }));
}

TEST_F(QVWebViewTest, DomSearchVisitsTheLastChildFirst)
{
    // Two matching siblings: the later one; the whole class text must match.
    EXPECT_EQ(view->firstDomNodeForClass(QStringLiteral("target")).value().elementID, "second");
    EXPECT_EQ(view->firstDomNodeForClass(QStringLiteral("a")).value().elementID, "third");
    const auto found = view->firstDomNodeForClass(QStringLiteral("a b"));
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->elementID, "ab");
    EXPECT_EQ(found->rect, QRectF(10, 20, 30, 40));
    EXPECT_FALSE(view->firstDomNodeWithID(QStringLiteral("missing")).has_value());
}

TEST_F(QVWebViewTest, AHungPageCostsOneStall)
{
    QSignalSpy timedOut(view.get(), &QVWebView::evaluationTimedOut);
    view->setEvaluationTimeout(2000);
    EXPECT_EQ(view->evaluate("quivTest.hang(6000)"), "6000");
    QTest::qWait(200); // the loop starts after the call returns

    // The first read waits out its limit; the rest answer empty at once.
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(view->evaluate("quivTest.label"), "");
    EXPECT_TRUE(view->evaluateBatch({ "1", "2" }).isEmpty());
    EXPECT_LT(clock.elapsed(), 2600);
    EXPECT_GE(clock.elapsed(), 1900);
    EXPECT_EQ(timedOut.count(), 1);
    EXPECT_FALSE(view->isResponsive());

    // Once the page answers again, so do reads; a late answer is never taken for a new read.
    ASSERT_TRUE(QVWaitUntil([&] { return view->isResponsive(); }, 10000));
    EXPECT_EQ(view->evaluateBatch({ "2 + 2", "quivTest.label" }), (QStringList { "4", "bridge" }));
}

TEST_F(QVWebViewTest, OnlyTheServicesOriginGetsTheObjects)
{
    // The same server under another name is another origin.
    load("localhost");
    object.calls.clear();
    QString exposed;
    view->page()->runJavaScript("[typeof TestScriptObject, typeof qt].join()",
        [&](const QVariant& value) { exposed = value.toString(); });
    ASSERT_TRUE(QVWaitUntil([&] { return !exposed.isEmpty(); }));
    EXPECT_EQ(exposed, "undefined,undefined");
    EXPECT_EQ(view->evaluate("1 + 1"), ""); // no reads of it either
    QTest::qWait(200);
    EXPECT_TRUE(object.calls.isEmpty());

    // Back on the service, everything is there again.
    load();
    EXPECT_EQ(view->evaluate("typeof TestScriptObject"), "object");
    ASSERT_TRUE(QVWaitUntil([&] { return object.calls.size() >= 2; }));
}

// The unload at quit: the view goes to about:blank while the faceplate or
// the mirror may still be reading the service's page.
TEST_F(QVWebViewTest, ReadsEndAtOnceWhenTheServicePageIsLeft)
{
    const QVLogCapture log;
    // A read the page takes a while over, with the unload starting inside its wait.
    QTimer::singleShot(50, view.get(), [&] { view->loadURL(QUrl("about:blank")); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(
        view->evaluate("(function () { var t = Date.now(); while (Date.now() - t < 600) {} return 1; })()"),
        "");
    EXPECT_LT(clock.elapsed(), 500);
    // And one sent after it started, before the blank page is in.
    clock.start();
    EXPECT_EQ(view->evaluate("1 + 1"), "");
    EXPECT_LT(clock.elapsed(), 100);
    EXPECT_TRUE(view->isResponsive()) << "leaving the page is not the page hanging";
    EXPECT_FALSE(log.lines().join("\n").contains("did not answer")) << qPrintable(log.lines().join("\n"));

    ASSERT_TRUE(QVWaitUntil([&] { return view->url() == QUrl("about:blank"); }, 5000));
    load();
    EXPECT_EQ(view->evaluate("1 + 1"), "2");
}

TEST_F(QVWebViewTest, DialogsDuringAReadNeverBlock)
{
    EXPECT_EQ(view->evaluate("alert('hello'); 7"), "7");
    EXPECT_EQ(presenter.alerts, QStringList { "hello" }); // shown once the read ended
    EXPECT_EQ(view->evaluate("confirm('sure?') ? 'yes' : 'no'"), "no");
    EXPECT_EQ(view->evaluate("String(prompt('name?', 'x'))"), "null");
    EXPECT_EQ(presenter.questions, 0);

    // Outside a read the presenter answers.
    view->page()->runJavaScript("window.answer = confirm('really?');");
    ASSERT_TRUE(QVWaitUntil([&] { return presenter.questions == 1; }));
    EXPECT_EQ(view->evaluate("String(window.answer)"), "true");
}

// The whole burst, with the other entry points, runs over D-Bus; here no read
// may see a value older than the call it answers.
TEST_F(QVWebViewTest, ABurstOfCallsAnsweredWithReadsSeesNoStaleValue)
{
    QSignalSpy timedOut(view.get(), &QVWebView::evaluationTimedOut);
    QVWebView::resetMaxWaitDepth();
    QList<int> seen;
    int stale = 0;
    object.onCall = [&](const QString&, const QVariantList& args) {
        seen.append(args.value(0).toInt());
        if (view->javascriptIntValue("quivTest.value") < seen.last()
            || view->evaluate("quivTest.label") != "bridge")
            ++stale;
    };
    view->executeJavascript("quivTest.value = -1; quivTest.fire(500);");
    ASSERT_TRUE(QVWaitUntil([&] { return seen.size() >= 500; }, 60000));
    QTest::qWait(20);
    ASSERT_EQ(seen.size(), 500);
    for (int i = 0; i < 500; ++i)
        ASSERT_EQ(seen[i], i);
    EXPECT_EQ(stale, 0);
    EXPECT_EQ(QVWebView::maxWaitDepth(), 1);
    EXPECT_EQ(timedOut.count(), 0);
    object.onCall = nullptr;
}

TEST_F(QVWebViewTest, ReadsWhenALoadFinishesAreAnsweredAtOnce)
{
    // Inside the engine's own loadFinished a read cannot be answered until the
    // callback returns; the view's own signal comes outside it.
    QString state;
    qint64 took = -1;
    QObject::connect(view.get(), &QVWebView::pageLoadFinished, view.get(), [&](bool) {
        QElapsedTimer clock;
        clock.start();
        state = view->evaluate("document.readyState");
        took = clock.elapsed();
    });
    QSignalSpy timedOut(view.get(), &QVWebView::evaluationTimedOut);
    view->reload();
    ASSERT_TRUE(QVWaitUntil([&] { return took >= 0; }));
    EXPECT_EQ(state, "complete");
    EXPECT_LT(took, 500);
    EXPECT_EQ(timedOut.count(), 0);
}

TEST_F(QVWebViewTest, ReportsBringThePagesValuesOfTheirMoment)
{
    // Values of every kind, as evaluateBatch reads them.
    const QStringList expressions { "quivTest.value", "quivTest.label", "NaN", "1 / 0", "undefined", "null",
        "({a: 1})", "[1, 2]", "new Date(0)", "nosuch.thing", "1e21", "-0", "0.1 + 0.2", "2 > 1",
        "quivTest.big", "new String('s')", "/ab/g", "Symbol('s')", "(function f() {})", "new Date(NaN)" };
    view->setReportSnapshot(expressions, { "TestScriptObject.ping" });
    load();
    ASSERT_TRUE(QVWaitUntil([&] { return object.calls.size() >= 4; }));
    EXPECT_TRUE(view->reportSnapshot().isEmpty()); // only while a call is dispatched

    QList<QStringList> snapshots;
    object.onCall = [&](const QString&, const QVariantList&) { snapshots.append(view->reportSnapshot()); };
    view->executeJavascript("quivTest.value = -1; quivTest.fire(3); TestScriptObject.echo(1);");
    ASSERT_TRUE(QVWaitUntil([&] { return snapshots.size() >= 4; }));
    QStringList read = view->evaluateBatch(expressions);
    ASSERT_EQ(read.size(), expressions.size());
    for (int i = 0; i < 3; ++i) {
        read[0] = QString::number(i); // as each call found it, not as it is now
        EXPECT_EQ(snapshots[i].join('|'), read.join('|')) << i;
    }
    EXPECT_TRUE(snapshots[3].isEmpty()); // echo brings none

    // One the view cannot take (a string over the limit) is left out; the call still comes.
    QVLogCapture capture;
    snapshots.clear();
    view->executeJavascript("quivTest.big = 'x'.repeat(70000); TestScriptObject.ping('big');");
    ASSERT_TRUE(QVWaitUntil([&] { return snapshots.size() >= 1; }));
    EXPECT_TRUE(snapshots[0].isEmpty());
    EXPECT_EQ(object.calls.last(), QVariantList { QStringLiteral("big") });
    EXPECT_EQ(
        capture.lines().filter("Ignored the state sent with page call TestScriptObject.ping").size(), 1);
    object.onCall = nullptr;

    // Only plain values, exactly as many as asked for.
    EXPECT_EQ(QVWebView::snapshotTexts(QVariantList { 1.5, true, QVariant::fromValue(nullptr) }, 3),
        (QStringList { "1.5", "true", "" }));
    EXPECT_FALSE(QVWebView::snapshotTexts(QVariantList { 1, 2 }, 3).has_value());
    EXPECT_FALSE(QVWebView::snapshotTexts(QVariantList { 1, QVariantList { 2 }, 3 }, 3).has_value());
    EXPECT_FALSE(QVWebView::snapshotTexts(QVariant(QStringLiteral("1,2,3")), 3).has_value());
}
