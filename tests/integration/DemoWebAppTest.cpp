#include "QVDemoService.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include <memory>

namespace {

// Stand-ins for the client's four script objects, defined as the client
// defines them (at document creation), recording every call and its arguments.
const char* const recorderScript = R"JS(
(function () {
    window.__calls = [];
    function make(name, methods) {
        var object = {};
        methods.forEach(function (method) {
            object[method] = function () {
                window.__calls.push({ o: name, m: method, a: Array.prototype.slice.call(arguments) });
            };
        });
        window[name] = object;
    }
    make('DesktopScriptObject', ['onInitialize', 'onPlayStateChanged', 'onPlayingTrackChanged', 'onShuffleChanged',
        'onRepeatChanged', 'onPositionChanged', 'onVolumeChanged', 'onSearchBoxFocus', 'onSearchBoxBlur',
        'setDockBadgeLabel', 'clearDockBadgeLabel', 'bounceDockIcon']);
    make('PlayerScriptObject', ['onPlayingTrackChanged', 'onPlayStateChanged', 'onPlayingSourceChanged',
        'onPositionChanged', 'onMuteChanged', 'onRepeatChanged', 'onShuffleChanged', 'onVolumeChanged',
        'onPlayerFlyoutToggled', 'onPlayerFlyoutHidden', 'onStationChanged']);
    make('ClientManagerScriptObject', ['onCurrentUserIdChanged', 'showDownloadWindow', 'onSubscriptionChanged',
        'onMatchCollectionActivated', 'onFreeLimitedNotification', 'onBillingFailure', 'onSecureDialogLoaded',
        'onInitialize']);
    make('NoticeScriptObject', ['showNotice']);
})();
)JS";

class RecordingPage : public QWebEnginePage
{
public:
    using QWebEnginePage::QWebEnginePage;
    QStringList problems; // console errors and policy violations

protected:
    void javaScriptConsoleMessage(
        JavaScriptConsoleMessageLevel level, const QString& message, int line, const QString& source) override
    {
        if (level == ErrorMessageLevel || message.contains(QStringLiteral("Content Security Policy")))
            problems.append(QStringLiteral("%1:%2: %3").arg(source).arg(line).arg(message));
    }
    // A prompt would block a headless run for good.
    bool javaScriptPrompt(const QUrl&, const QString&, const QString&, QString*) override { return false; }
    bool javaScriptConfirm(const QUrl&, const QString&) override { return false; }
    void javaScriptAlert(const QUrl&, const QString& message) override
    {
        problems.append(QStringLiteral("alert: ") + message);
    }
};

class DemoWebAppTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.start()) << service.errorString().toStdString();
        profile = std::make_unique<QWebEngineProfile>(); // off the record: no cookies from earlier runs
        page = std::make_unique<RecordingPage>(profile.get());
        page->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
    }
    void TearDown() override
    {
        if (page) {
            EXPECT_TRUE(page->problems.isEmpty()) << page->problems.join(QLatin1Char('\n')).toStdString();
        }
        page.reset();
        profile.reset();
    }

    void installRecorders()
    {
        QWebEngineScript script;
        script.setName(QStringLiteral("recorders"));
        script.setSourceCode(QString::fromUtf8(recorderScript));
        script.setInjectionPoint(QWebEngineScript::DocumentCreation);
        script.setWorldId(QWebEngineScript::MainWorld);
        page->scripts().insert(script);
    }

    bool load(const QString& path)
    {
        QEventLoop loop;
        bool ok = false;
        const auto connection
            = QObject::connect(page.get(), &QWebEnginePage::loadFinished, [&](bool finished) {
                  ok = finished;
                  loop.quit();
              });
        QTimer::singleShot(15000, &loop, &QEventLoop::quit);
        page->load(QUrl(service.baseUrl() + path));
        loop.exec();
        QObject::disconnect(connection);
        return ok && waitFor(QStringLiteral("window.Q && Q.desktop.isInitialized === true"));
    }

    QVariant eval(const QString& script)
    {
        QEventLoop loop;
        QVariant result;
        bool done = false;
        page->runJavaScript(script, [&](const QVariant& value) {
            result = value;
            done = true;
            loop.quit();
        });
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        if (!done)
            loop.exec();
        return result;
    }

    bool waitFor(const QString& condition, int milliseconds = 10000)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < milliseconds) {
            if (eval(QStringLiteral("!!(%1)").arg(condition)).toBool())
                return true;
            QEventLoop pause;
            QTimer::singleShot(20, &pause, &QEventLoop::quit);
            pause.exec();
        }
        return false;
    }

    // The argument lists of every recorded call of object.method.
    QJsonArray calls(const QString& object, const QString& method)
    {
        const QString script = QStringLiteral(
            "JSON.stringify(__calls.filter(function (c) { return c.o === '%1' && c.m === '%2'; })"
            ".map(function (c) { return c.a; }))")
                                   .arg(object, method);
        return QJsonDocument::fromJson(eval(script).toString().toUtf8()).array();
    }

    void signInThroughTheForm()
    {
        ASSERT_TRUE(waitFor(QStringLiteral("$('.Login_Form').length === 1")));
        eval(QStringLiteral("$('[name=username]').val('demo'); $('[name=password]').val('demo');"
                            "$('.Login_Form').trigger('submit');"));
        ASSERT_TRUE(waitFor(QStringLiteral("Q.currentUser !== null && location.pathname === '/'")));
    }

    QVDemoService service;
    std::unique_ptr<QWebEngineProfile> profile;
    std::unique_ptr<RecordingPage> page;
};

TEST_F(DemoWebAppTest, SignedOutPageInitialisesAndPublishesItsNames)
{
    installRecorders();
    ASSERT_TRUE(load(QStringLiteral("/")));
    EXPECT_EQ(eval(QStringLiteral("location.pathname")).toString(), QStringLiteral("/accounts/login/"));
    EXPECT_EQ(calls(QStringLiteral("DesktopScriptObject"), QStringLiteral("onInitialize")).size(), 1);
    EXPECT_EQ(calls(QStringLiteral("ClientManagerScriptObject"), QStringLiteral("onInitialize")).size(), 1);
    EXPECT_EQ(calls(QStringLiteral("ClientManagerScriptObject"), QStringLiteral("onCurrentUserIdChanged")),
        QJsonArray({ QJsonArray({ -1 }) }));

    // The expressions the client evaluates, as it writes them.
    EXPECT_TRUE(
        eval(QStringLiteral("typeof clientManager != 'undefined' && clientManager.current_user == null"))
            .toBool());
    EXPECT_EQ(eval(QStringLiteral("Q.player.playState();")).toInt(), -1);
    EXPECT_FALSE(eval(QStringLiteral("Q.player.play({'source':'a11'})")).toBool());
    EXPECT_TRUE(
        eval(QStringLiteral("Q.isStation(Q.stationList[0].key) && !Q.isStation('a11') && !Q.isStation(null)"))
            .toBool());
    EXPECT_EQ(eval(QStringLiteral("window.Q && Q.serverInfo && Q.serverInfo.get('is_address')")).toString(),
        service.baseUrl() + QStringLiteral("/images/art"));
    EXPECT_EQ(eval(QStringLiteral("server_info.base_url")).toString(), QStringLiteral("127.0.0.1"));
    EXPECT_FALSE(eval(QStringLiteral("Q.Models.Desktop.IS_USING_WHITE_QUIV")).toBool());
    // The client's DOM search compares the whole class attribute: each name
    // must be the entire class of a header element.
    EXPECT_TRUE(eval(QStringLiteral("Q.Models.Desktop.IGNORED_DOM_CLASSES.length > 0 && "
                                    "Q.Models.Desktop.IGNORED_DOM_CLASSES.every(function (c) {"
                                    "  return $('.App_Header [class]').filter(function () { return "
                                    "this.getAttribute('class') === c; }).length === 1; })"
                                    " && Q.Models.Desktop.IGNORED_DOM_IDS.length > 0 && "
                                    "Q.Models.Desktop.IGNORED_DOM_IDS.every(function (id) {"
                                    "  return $('.App_Header').find('#' + id).length === 1; })"))
                    .toBool());
    EXPECT_EQ(eval(QStringLiteral("$('.App_Header .Search_Box input').length + $('.repeat').length + "
                                  "$('.queue').length + $('.time').length"))
                  .toInt(),
        4);

    eval(QStringLiteral("Q.offlineMonitor.setIsOnline(false);"));
    EXPECT_TRUE(eval(QStringLiteral("$('.Offline_Banner').is(':visible')")).toBool());

    const QString input = QStringLiteral("$('.App_Header .Search_Box input')[0]");
    eval(input + QStringLiteral(".dispatchEvent(new FocusEvent('focus'));") + input
        + QStringLiteral(".dispatchEvent(new FocusEvent('blur'));"));
    EXPECT_EQ(calls(QStringLiteral("DesktopScriptObject"), QStringLiteral("onSearchBoxFocus")).size(), 1);
    EXPECT_EQ(calls(QStringLiteral("DesktopScriptObject"), QStringLiteral("onSearchBoxBlur")).size(), 1);

    // The router keeps to this origin.
    EXPECT_FALSE(eval(QStringLiteral("Q.router.navigate('//elsewhere.example/x', true)")).toBool());
    EXPECT_FALSE(eval(QStringLiteral("Q.router.navigate('https://elsewhere.example/', true)")).toBool());
    EXPECT_EQ(eval(QStringLiteral("location.host")).toString(), service.hostAndPort());
}

TEST_F(DemoWebAppTest, PlayerStateComesFromTheAudioAndReachesTheScriptObjects)
{
    installRecorders();
    ASSERT_TRUE(load(QStringLiteral("/accounts/login/")));
    signInThroughTheForm();
    EXPECT_EQ(calls(QStringLiteral("ClientManagerScriptObject"), QStringLiteral("onCurrentUserIdChanged")),
        QJsonArray({ QJsonArray({ -1 }), QJsonArray({ 1001 }) }));
    EXPECT_EQ(calls(QStringLiteral("DesktopScriptObject"), QStringLiteral("setDockBadgeLabel")).last(),
        QJsonArray({ "2" }));
    EXPECT_TRUE(
        eval(QStringLiteral("Q.Library.contains('t', [101]) && !Q.Library.contains('t', [103])")).toBool());

    // The session lives on the server: a reload stays signed in.
    ASSERT_TRUE(load(QStringLiteral("/album/a11/")));
    EXPECT_EQ(eval(QStringLiteral("Q.currentUser.get('id')")).toInt(), 1001);
    EXPECT_EQ(calls(QStringLiteral("ClientManagerScriptObject"), QStringLiteral("onCurrentUserIdChanged")),
        QJsonArray({ QJsonArray({ 1001 }) }));

    EXPECT_TRUE(eval(QStringLiteral("Q.player.play({'source':'t102'})")).toBool());
    ASSERT_TRUE(waitFor(QStringLiteral("Q.player.playState() === 1")));
    EXPECT_EQ(eval(QStringLiteral("Q.player.playingTrack().get('key')")).toString(), QStringLiteral("t102"));
    EXPECT_TRUE(
        eval(QStringLiteral("Q.player.isMaster() && !Q.player.isNotMaster() && !Q.player.noKnownMaster()"))
            .toBool());
    EXPECT_TRUE(calls(QStringLiteral("PlayerScriptObject"), QStringLiteral("onPlayStateChanged"))
                    .contains(QJsonArray({ 1 })));

    // The state follows togglePause at once, and only the media element decides it.
    EXPECT_EQ(eval(QStringLiteral("Q.player.togglePause(); Q.player.playState();")).toInt(), 0);
    EXPECT_TRUE(eval(QStringLiteral("Q.player.audio.paused")).toBool());
    const int resumed = eval(QStringLiteral("Q.player.togglePause(); Q.player.playState();")).toInt();
    EXPECT_TRUE(resumed == 1 || resumed == 3) << resumed;
    EXPECT_TRUE(waitFor(QStringLiteral("Q.player.playState() === 1")));

    eval(QStringLiteral("Q.player.position(20)"));
    ASSERT_TRUE(waitFor(QStringLiteral("Q.player.position() >= 20")));
    EXPECT_TRUE(waitFor(QStringLiteral("__calls.some(function (c) { return c.o === 'PlayerScriptObject' && "
                                       "c.m === 'onPositionChanged' && c.a[0] > 0 && c.a[0] <= 1 && "
                                       "Math.abs(c.a[0] * Q.player.playingTrack().get('duration') - 20) < 2; "
                                       "})")));

    eval(QStringLiteral("Q.player.volume(7); Q.player.volume('x');"));
    EXPECT_DOUBLE_EQ(eval(QStringLiteral("Q.player.volume()")).toDouble(), 1.0);

    eval(QStringLiteral("Q.player.repeat(2); Q.player.repeat(9);"));
    EXPECT_EQ(eval(QStringLiteral("Q.player.repeat()")).toInt(), 2);
    eval(QStringLiteral("window.$ && $('.repeat').click();"));
    EXPECT_EQ(eval(QStringLiteral("Q.player.repeat()")).toInt(), 1);
    EXPECT_EQ(calls(QStringLiteral("PlayerScriptObject"), QStringLiteral("onRepeatChanged")),
        QJsonArray({ QJsonArray({ 2 }), QJsonArray({ 1 }) }));

    // Stations: the client's station menu passes an object from the list.
    eval(QStringLiteral("setStation(JSON.parse(JSON.stringify(Q.stationList))[2])"));
    EXPECT_TRUE(eval(QStringLiteral("Q.isStation(Q.player.playingSource())")).toBool());
    EXPECT_EQ(calls(QStringLiteral("PlayerScriptObject"), QStringLiteral("onStationChanged"))
                  .last()
                  .toArray()
                  .first()
                  .toObject()
                  .value(QStringLiteral("key"))
                  .toString(),
        QStringLiteral("sr3"));
    ASSERT_TRUE(waitFor(QStringLiteral("Q.player.playState() === 1")));
    eval(QStringLiteral("setStation(null)"));
    EXPECT_FALSE(eval(QStringLiteral("Q.isStation(Q.player.playingSource())")).toBool());
    EXPECT_EQ(eval(QStringLiteral("Q.player.playState()")).toInt(), 2);
    EXPECT_TRUE(calls(QStringLiteral("PlayerScriptObject"), QStringLiteral("onStationChanged"))
                    .last()
                    .toArray()
                    .first()
                    .isNull());

    eval(QStringLiteral("Q.currentUser.collection.add([\"t103\"]);"));
    EXPECT_TRUE(waitFor(QStringLiteral("Q.Library.contains('t', [103])")));

    eval(QStringLiteral("Q.router.navigate('/signout/', true)"));
    ASSERT_TRUE(
        waitFor(QStringLiteral("Q.currentUser === null && location.pathname === '/accounts/login/'")));
    EXPECT_EQ(
        calls(QStringLiteral("ClientManagerScriptObject"), QStringLiteral("onCurrentUserIdChanged")).last(),
        QJsonArray({ -1 }));
    EXPECT_FALSE(
        calls(QStringLiteral("DesktopScriptObject"), QStringLiteral("clearDockBadgeLabel")).isEmpty());
    EXPECT_EQ(eval(QStringLiteral("Q.player.playState()")).toInt(), -1);
}

// Every page a search suggestion names, and the search page, are pages of the router.
TEST_F(DemoWebAppTest, TheRouterShowsEveryPageASuggestionNames)
{
    ASSERT_TRUE(load(QStringLiteral("/")));
    signInThroughTheForm();
    const QList<QPair<QString, QString>> pages {
        { "/playlist/p2/", "Static & Signals" },
        { "/people/lenab/", "Lena Brandt" },
        { "/artist/r1/", "The Paper Lanterns" },
        { "/track/t108/", "Blue Hour Sessions" }, // a song shows its album
    };
    const auto literal = [](const QString& text) {
        return QString::fromUtf8(QJsonDocument(QJsonArray { text }).toJson(QJsonDocument::Compact))
            .mid(1)
            .chopped(1);
    };
    for (const auto& [path, heading] : pages) {
        SCOPED_TRACE(path.toStdString());
        eval(QStringLiteral("Q.router.navigate(%1, true)").arg(literal(path)));
        EXPECT_TRUE(waitFor(QStringLiteral("$('#main h1').first().text() === %1").arg(literal(heading))));
    }
    // A query with a slash stays one segment of the search page.
    eval(QStringLiteral("Q.router.navigate('/search/AC%2FDC/', true)"));
    EXPECT_TRUE(waitFor(QStringLiteral("$('#main').text().indexOf('AC/DC') !== -1")));
}

// A plain browser has none of the client's objects: nothing may break.
TEST_F(DemoWebAppTest, WorksWithoutTheClientsScriptObjects)
{
    ASSERT_TRUE(load(QStringLiteral("/")));
    signInThroughTheForm();
    EXPECT_TRUE(eval(QStringLiteral("Q.player.play({'source':'sr2'})")).toBool());
    EXPECT_TRUE(waitFor(QStringLiteral("Q.player.playState() === 1")));
    eval(QStringLiteral("Q.router.navigate('/notices/', true)"));
    EXPECT_TRUE(waitFor(QStringLiteral("$('.Notice').length === 2 && $('.Notice_Count').text() === ''")));
    eval(QStringLiteral("$('.Primary_Button').click()"));
    EXPECT_TRUE(waitFor(QStringLiteral("$('.Notice').length === 3 && $('.Notice_Count').text() === '1'")));
}

} // namespace
