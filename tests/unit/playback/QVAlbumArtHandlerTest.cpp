#include "QVAlbumArtHandler.h"
#include "QVConstants.h"
#include "QVDemoService.h"
#include "QVPlaybackTestSupport.h"
#include "QVServerConnection.h"
#include "QVTestWait.h"
#include "QVUtils.h"

#include <QBuffer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>

namespace {

// Writes down what a listener heard, and the images.
class ArtRecorder : public QVAlbumArtListener
{
public:
    void onAlbumArtAvailable(const QImage& image) override
    {
        events.append("art");
        images.append(image);
    }
    void albumArtRequestCompleted(const QImage& image, const QString& baseIcon) override
    {
        events.append("completed " + baseIcon);
        images.append(image);
    }
    void albumArtRequestFailedForBaseIcon(const QString& baseIcon) override
    {
        events.append("failed " + baseIcon);
    }
    QStringList events;
    QList<QImage> images;
};

// An image server address where nothing listens.
QString closedServer()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return QString("http://127.0.0.1:%1/images/art").arg(probe.serverPort());
}

// A handler over a fake page whose image server is the demo service, with a
// pool and a cache folder of its own.
class QVAlbumArtHandlerTest : public PlaybackServiceTest
{
protected:
    static void SetUpTestSuite()
    {
        demo = new QVDemoService;
        if (!demo->start())
            ADD_FAILURE() << demo->errorString().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete demo;
        demo = nullptr;
    }

    void SetUp() override
    {
        answerPlayingPage(page);
        setTrack("Lanterns on the Water", "a11");
        setImageServer(demo->baseUrl() + "/images/art");
        handler = makeHandler();
        handler->addAlbumArtListener(&heard);
    }

    std::unique_ptr<QVAlbumArtHandler> makeHandler()
    {
        QVAlbumArtHandler::Services services;
        services.notificationCenter = &center;
        services.serverConnection = &pool;
        services.cacheDirectory = folder.path() + "/AlbumArtCache";
        services.cleanupDelayMs = -1;
        return std::make_unique<QVAlbumArtHandler>(&service, services);
    }
    void setTrack(const QString& name, const QString& baseIcon)
    {
        page.answers["Q.player.playingTrack().get('name')"] = name;
        page.answers["Q.player.playingTrack().get('baseIcon')"] = baseIcon;
    }
    void setImageServer(const QString& address) { page.answers[kImageServer] = address; }
    // The page reports a new track (after a full refresh of the mirror).
    void changeTrack(const QString& name, const QString& baseIcon)
    {
        setTrack(name, baseIcon);
        service.playbackPlayingTrackChanged();
        runQueuedEvents();
    }
    QString cachePath(const QString& baseIcon) const
    {
        return folder.path() + "/AlbumArtCache/" + QVUtils::SHA1String(baseIcon);
    }
    bool waitForEvents(qsizetype count)
    {
        return QVWaitUntil([&] { return heard.events.size() >= count; });
    }
    QImage stub() const { return QVAlbumArtHandler::stubImage(); }
    QImage fetch(const QString& baseIcon)
    {
        ArtRecorder one;
        handler->requestAlbumArt(baseIcon, &one);
        QVWaitUntil([&] { return !one.events.isEmpty(); });
        return one.images.value(0);
    }

    static inline const QString kImageServer = "window.Q && Q.serverInfo && Q.serverInfo.get('is_address')";
    static QVDemoService* demo;
    QTemporaryDir folder;
    QVServerConnection pool;
    ArtRecorder heard;
    std::unique_ptr<QVAlbumArtHandler> handler;
};

QVDemoService* QVAlbumArtHandlerTest::demo = nullptr;

TEST_F(QVAlbumArtHandlerTest, ThePlayingTracksArtIsFetchedOnceThenComesFromTheCache)
{
    EXPECT_EQ(handler->currentAlbumArtImage(), stub());
    service.webViewFinishedLoading();
    EXPECT_TRUE(heard.events.isEmpty()); // nothing until the fetch ends
    ASSERT_TRUE(waitForEvents(1));
    const QImage art = heard.images.first();
    EXPECT_EQ(art.size(), QSize(200, 200));
    EXPECT_NE(art, stub());
    EXPECT_EQ(handler->currentAlbumArtImage(), art);
    EXPECT_EQ(handler->currentBaseIcon(), "a11");
    EXPECT_TRUE(QFile::exists(cachePath("a11")));
    // The desktop gets the same picture as a file.
    EXPECT_EQ(QImage(handler->currentAlbumArtFileURL().toLocalFile()), art);

    // Another track of the album asks for nothing.
    const qsizetype requests = page.scripts.count(kImageServer);
    changeTrack("Pier at Midnight", "a11");
    QTest::qWait(50);
    EXPECT_EQ(page.scripts.count(kImageServer), requests);
    EXPECT_EQ(heard.events.size(), 1);

    // A new handler (the next start) finds it on disk, with the server gone.
    setImageServer(closedServer());
    ArtRecorder later;
    auto next = makeHandler();
    next->addAlbumArtListener(&later);
    service.webViewFinishedLoading();
    ASSERT_EQ(later.events, QStringList { "art" }); // at once: no wait for the network
    EXPECT_EQ(later.images.first(), art);
    next->removeAlbumArtListener(&later);
}

TEST_F(QVAlbumArtHandlerTest, ACacheEntryThatIsNoImageIsFetchedAgain)
{
    service.webViewFinishedLoading();
    ASSERT_TRUE(waitForEvents(1));
    const QImage art = heard.images.first();
    // Whole and matching its hash, so the cache hands it out: only decoding can tell.
    QFile file(cachePath("a11"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(
        QVAlbumArtCacheController::propertyListData("<html>x</html>", QDateTime::currentDateTimeUtc()));
    file.close();

    ArtRecorder later;
    auto next = makeHandler();
    next->addAlbumArtListener(&later);
    service.webViewFinishedLoading();
    EXPECT_TRUE(later.events.isEmpty()); // a miss: fetched, not answered at once
    ASSERT_TRUE(QVWaitUntil([&] { return !later.events.isEmpty(); }));
    EXPECT_EQ(later.images.first(), art);
    EXPECT_EQ(
        QVAlbumArtHandler::imageFromData(next->cacheController()->albumArtDataFromCache("a11").value_or("")),
        art);
    next->removeAlbumArtListener(&later);
}

TEST_F(QVAlbumArtHandlerTest, AnAnswerForATrackThatHasGoneIsCachedButNotShown)
{
    // a12 is on disk already; a11 must be fetched. Each run ends on a12
    // while a11's answer is still on its way.
    const QImage a12 = fetch("a12");
    ASSERT_FALSE(a12.isNull());
    const QList<QStringList> runs {
        { "a11", "a12" }, // a11 is requested and the track changes before it lands
        { "a12", "a11", "a12" }, // a12 shows, a11 is requested, then back to a12
    };
    for (const QStringList& icons : runs) {
        SCOPED_TRACE(icons.join(" > ").toStdString());
        handler->cacheController()->removeAlbumArt("a11");
        heard.events.clear();
        heard.images.clear();
        setTrack("First", icons.first());
        service.webViewFinishedLoading();
        for (const QString& icon : icons.mid(1))
            changeTrack("Track " + icon, icon);
        ASSERT_EQ(heard.events, QStringList { "art" });
        EXPECT_EQ(heard.images.first(), a12);

        ASSERT_TRUE(QVWaitUntil([&] { return handler->cacheController()->isBaseIconInCache("a11"); }));
        QTest::qWait(50);
        EXPECT_EQ(heard.events.size(), 1);
        EXPECT_EQ(handler->currentBaseIcon(), "a12");
        EXPECT_EQ(handler->currentAlbumArtImage(), a12);
        // Kept under its own icon, not the playing one.
        const QImage a11 = fetch("a11");
        EXPECT_NE(a11, a12);
        EXPECT_EQ(a11.size(), QSize(200, 200));
        EXPECT_EQ(fetch("a12"), a12);
    }
}

TEST_F(QVAlbumArtHandlerTest, FailuresShowTheStubAndTheNextTrackAsksAgain)
{
    // Nothing listens on the image server's port.
    setImageServer(closedServer());
    service.webViewFinishedLoading();
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(heard.images.first(), stub());
    EXPECT_EQ(handler->currentBaseIcon(), "");
    EXPECT_TRUE(handler->currentAlbumArtFileURL().isEmpty());

    // The next track of the same album tries again, and gets it.
    setImageServer(demo->baseUrl() + "/images/art");
    changeTrack("Pier at Midnight", "a11");
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_EQ(heard.images.last().size(), QSize(200, 200));
    EXPECT_EQ(handler->currentBaseIcon(), "a11");

    // An answer that is no image (the server does not know the icon):
    // listeners get a null image and nothing is cached.
    changeTrack("Unknown", "a99");
    ASSERT_TRUE(waitForEvents(3));
    EXPECT_TRUE(heard.images.last().isNull());
    EXPECT_FALSE(handler->cacheController()->isBaseIconInCache("a99"));

    // No image server named by the page: the stub at once.
    setImageServer("");
    changeTrack("Saltwind", "a13");
    ASSERT_EQ(heard.events.size(), 4);
    EXPECT_EQ(heard.images.last(), stub());
    // An address that is not one: refused, and the stub.
    setImageServer("javascript:alert(1)//");
    changeTrack("Saltwind", "a14");
    ASSERT_EQ(heard.events.size(), 5);
    EXPECT_EQ(heard.images.last(), stub());
    EXPECT_FALSE(handler->cacheController()->isBaseIconInCache("a14"));
}

TEST_F(QVAlbumArtHandlerTest, OneOffRequests)
{
    service.webViewFinishedLoading();
    ASSERT_TRUE(waitForEvents(1));
    const QImage playing = heard.images.first();
    ArtRecorder first;
    ArtRecorder second;
    // Two for the same uncached icon: both are answered; a cached one before the call returns.
    handler->requestAlbumArt("a13", &first);
    handler->requestAlbumArt("a13", &second);
    EXPECT_TRUE(first.events.isEmpty());
    ASSERT_TRUE(QVWaitUntil([&] { return !first.events.isEmpty() && !second.events.isEmpty(); }));
    EXPECT_EQ(second.events, QStringList { "completed a13" });
    ArtRecorder third;
    handler->requestAlbumArt("a13", &third);
    EXPECT_EQ(third.events, QStringList { "completed a13" });

    // Failures reach the requester, and leave the playing track's art alone.
    ArtRecorder failing;
    handler->requestAlbumArt("a99", &failing);
    ASSERT_TRUE(QVWaitUntil([&] { return !failing.events.isEmpty(); }));
    EXPECT_EQ(failing.events, QStringList { "failed a99" });
    setImageServer(closedServer());
    handler->requestAlbumArt("a14", &failing);
    ASSERT_TRUE(QVWaitUntil([&] { return failing.events.size() == 2; }));
    EXPECT_EQ(failing.events.last(), "failed a14");
    EXPECT_EQ(handler->currentAlbumArtImage(), playing);
    EXPECT_EQ(heard.events.size(), 1);

    // A requester that goes away before the answer is not called; nothing to ask for is no request.
    setImageServer(demo->baseUrl() + "/images/art");
    handler->requestAlbumArt("", &third);
    handler->requestAlbumArt("a11", nullptr);
    EXPECT_EQ(third.events.size(), 1);
    auto gone = std::make_unique<ArtRecorder>();
    handler->requestAlbumArt("a14", gone.get());
    gone.reset();
    ASSERT_TRUE(QVWaitUntil([&] { return handler->cacheController()->isBaseIconInCache("a14"); }));
}

TEST_F(QVAlbumArtHandlerTest, OneOffRequestsOfAListenerAreWithdrawnFromThePool)
{
    service.webViewFinishedLoading();
    ASSERT_TRUE(waitForEvents(1));
    // An image server that takes the connection and never answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    QList<QTcpSocket*> sockets;
    QObject::connect(
        &silent, &QTcpServer::newConnection, [&] { sockets.append(silent.nextPendingConnection()); });
    setImageServer(QString("http://127.0.0.1:%1/images/art").arg(silent.serverPort()));
    ArtRecorder stale;
    ArtRecorder kept;
    handler->requestAlbumArt("a12", &stale);
    handler->requestAlbumArt("a13", &stale);
    handler->requestAlbumArt("a14", &kept);
    EXPECT_EQ(handler->pendingAlbumArtRequestCount(), 3);
    ASSERT_TRUE(QVWaitUntil([&] { return sockets.size() == 3; }));

    handler->cancelAlbumArtRequests(&stale);
    EXPECT_EQ(handler->pendingAlbumArtRequestCount(), 1);
    // The pool drops the connections of both; the other request stays.
    ASSERT_TRUE(QVWaitUntil([&] {
        return std::count_if(sockets.begin(), sockets.end(), [](QTcpSocket* socket) {
            return socket->state() == QAbstractSocket::UnconnectedState;
        }) == 2;
    }));
    runQueuedEvents();
    EXPECT_TRUE(stale.events.isEmpty()); // no failure told for a withdrawn request
    EXPECT_TRUE(kept.events.isEmpty());
    handler->cancelAlbumArtRequests(nullptr);
    EXPECT_EQ(handler->pendingAlbumArtRequestCount(), 1);
}

TEST_F(QVAlbumArtHandlerTest, ListenersAndPageEvents)
{
    // Two listeners: the handler joins the playback listeners once.
    ArtRecorder other;
    handler->addAlbumArtListener(&other);
    fetch("a11"); // cached, so answers come at once
    service.webViewFinishedLoading();
    EXPECT_EQ(heard.events, QStringList { "art" });
    EXPECT_EQ(other.events, QStringList { "art" });

    // Offline: the stub; back online, the art again.
    service.onNetworkConnectionNotAvailable();
    EXPECT_EQ(heard.images.last(), stub());
    service.onNetworkConnectionAvailable();
    EXPECT_EQ(heard.events.size(), 3);
    EXPECT_NE(heard.images.last(), stub());

    // Signing out shows the stub for no track.
    center.postNotificationName(QVUserDidSignOutNotification);
    EXPECT_EQ(heard.images.last(), stub());
    EXPECT_EQ(handler->currentBaseIcon(), "");
    EXPECT_TRUE(handler->currentAlbumArtFileURL().isEmpty());

    // A track without art: the stub; with the last listener gone, nothing more.
    changeTrack("No art", "");
    EXPECT_EQ(heard.events.size(), 4); // already the stub for ""
    handler->removeAlbumArtListener(&other);
    EXPECT_TRUE(handler->isListening());
    handler->removeAlbumArtListener(&heard);
    EXPECT_FALSE(handler->isListening());
    changeTrack("Lanterns on the Water", "a11");
    service.webViewFinishedLoading();
    EXPECT_EQ(heard.events.size(), 4);
    EXPECT_EQ(other.events.size(), 4);
    // Before the page is loaded nothing is asked.
    handler->addAlbumArtListener(&heard);
    service.webViewDidStartLoading();
    changeTrack("Small Rooms", "a12");
    EXPECT_EQ(heard.events.size(), 4);
}

TEST(QVAlbumArtHandlerImageTest, OnlyRasterImagesWithinBoundsAreRead)
{
    const auto png = [](int width, int height) {
        QImage picture(width, height, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        picture.save(&buffer, "PNG");
        return bytes;
    };
    const QByteArray small = png(16, 8);
    EXPECT_EQ(QVAlbumArtHandler::imageFromData(small).size(), QSize(16, 8));
    // Too wide (refused from its header), cut short, not raster, empty, too long.
    const QList<QByteArray> refused { png(QVAlbumArtHandler::kMaximumImageSide + 1, 1),
        small.left(small.size() / 2), "<svg xmlns='http://www.w3.org/2000/svg'/>", {},
        small + QByteArray(QVAlbumArtCacheController::kMaximumImageDataLength, 0) };
    for (const QByteArray& bytes : refused)
        EXPECT_TRUE(QVAlbumArtHandler::imageFromData(bytes).isNull()) << bytes.left(20).toStdString();
}

} // namespace
