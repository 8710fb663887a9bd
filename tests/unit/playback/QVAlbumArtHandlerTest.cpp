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
#include <QTemporaryDir>

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
    EXPECT_EQ(handler->currentBaseIcon(), "a11");
    // The desktop gets the same picture as a file.
    EXPECT_EQ(QImage(handler->currentAlbumArtFileURL().toLocalFile()), art);

    // A new handler (the next start) finds it on disk at once, with the server gone.
    setImageServer(closedServer());
    ArtRecorder later;
    auto next = makeHandler();
    next->addAlbumArtListener(&later);
    service.webViewFinishedLoading();
    ASSERT_EQ(later.events, QStringList { "art" });
    EXPECT_EQ(later.images.first(), art);
    next->removeAlbumArtListener(&later);

    // An entry whole and matching its hash but no image: only decoding can tell, and it is fetched again.
    QFile file(folder.path() + "/AlbumArtCache/" + QVUtils::SHA1String(QStringLiteral("a11")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(
        QVAlbumArtCacheController::propertyListData("<html>x</html>", QDateTime::currentDateTimeUtc()));
    file.close();
    setImageServer(demo->baseUrl() + "/images/art");
    later.events.clear();
    next = makeHandler();
    next->addAlbumArtListener(&later);
    service.webViewFinishedLoading();
    EXPECT_TRUE(later.events.isEmpty()); // a miss: fetched, not answered at once
    ASSERT_TRUE(QVWaitUntil([&] { return !later.events.isEmpty(); }));
    EXPECT_EQ(later.images.last(), art);
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

        ASSERT_TRUE(QVWaitUntil([&] { return handler->cacheController()->isBaseIconInCache("a11"); }));
        QTest::qWait(50);
        EXPECT_EQ(heard.events.size(), 1);
        EXPECT_EQ(handler->currentAlbumArtImage(), a12);
        // Kept under its own icon, not the playing one.
        EXPECT_NE(fetch("a11"), a12);
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
    EXPECT_TRUE(handler->currentAlbumArtFileURL().isEmpty());

    // The next track of the same album tries again, and gets it.
    setImageServer(demo->baseUrl() + "/images/art");
    changeTrack("Pier at Midnight", "a11");
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_EQ(heard.images.last().size(), QSize(200, 200));

    // An answer that is no image: a null image, nothing cached.
    changeTrack("Unknown", "a99");
    ASSERT_TRUE(waitForEvents(3));
    EXPECT_TRUE(heard.images.last().isNull());
    EXPECT_FALSE(handler->cacheController()->isBaseIconInCache("a99"));

    // An image server address that is not one: the stub at once.
    setImageServer("javascript:alert(1)//");
    changeTrack("Saltwind", "a14");
    EXPECT_EQ(heard.events.size(), 4);
    EXPECT_EQ(heard.images.last(), stub());
}

TEST_F(QVAlbumArtHandlerTest, OneOffRequests)
{
    service.webViewFinishedLoading();
    ASSERT_TRUE(waitForEvents(1));
    const QImage playing = heard.images.first();
    // A cached icon is answered before the call returns.
    ArtRecorder first;
    handler->requestAlbumArt("a11", &first);
    EXPECT_EQ(first.events, QStringList { "completed a11" });

    // Failures reach the requester, and leave the playing track's art alone.
    ArtRecorder failing;
    handler->requestAlbumArt("a99", &failing);
    ASSERT_TRUE(QVWaitUntil([&] { return !failing.events.isEmpty(); }));
    EXPECT_EQ(failing.events, QStringList { "failed a99" });
    EXPECT_EQ(handler->currentAlbumArtImage(), playing);
    EXPECT_EQ(heard.events.size(), 1);

    // Withdrawn requests, and those of a requester that has gone, call no one.
    ArtRecorder withdrawn;
    auto gone = std::make_unique<ArtRecorder>();
    handler->requestAlbumArt("a12", &withdrawn);
    handler->requestAlbumArt("a14", gone.get());
    handler->cancelAlbumArtRequests(&withdrawn);
    EXPECT_EQ(handler->pendingAlbumArtRequestCount(), 1);
    gone.reset();
    ASSERT_TRUE(QVWaitUntil([&] { return handler->cacheController()->isBaseIconInCache("a14"); }));
    QTest::qWait(50);
    runQueuedEvents();
    EXPECT_TRUE(withdrawn.events.isEmpty());
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
    // Too wide (refused from its header), cut short, not raster, too long.
    const QList<QByteArray> refused { png(QVAlbumArtHandler::kMaximumImageSide + 1, 1),
        small.left(small.size() / 2), "<svg xmlns='http://www.w3.org/2000/svg'/>",
        small + QByteArray(QVAlbumArtCacheController::kMaximumImageDataLength, 0) };
    for (const QByteArray& bytes : refused)
        EXPECT_TRUE(QVAlbumArtHandler::imageFromData(bytes).isNull()) << bytes.left(20).toStdString();
}

} // namespace
