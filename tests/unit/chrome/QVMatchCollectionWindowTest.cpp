#include "QVMatchCollectionWindow.h"
#include "QVConstants.h"
#include "QVDemoService.h"
#include "QVITunesLibraryFixture.h"
#include "QVServerConnection.h"
#include "QVTestDefaults.h"
#include "QVTestWait.h"
#include "QVTextPushButton.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>

#include <memory>

namespace {

// A home of its own, so the music folder is a scratch one.
class QVMatchCollectionWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        _savedHome = qgetenv("HOME");
        _savedConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral(".config")).toUtf8());
        ASSERT_TRUE(QVMatchCollectionWindow::defaultLibraryPath().startsWith(home.path()));
    }
    void TearDown() override
    {
        window.reset();
        qputenv("HOME", _savedHome);
        qputenv("XDG_CONFIG_HOME", _savedConfig);
    }

    void writeLibrary(const QString& path, int tracks, int playlists = 1)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QVITunesLibraryFixture::write(&file, tracks, playlists);
    }
    void create()
    {
        window = std::make_unique<QVMatchCollectionWindow>(defaults.get());
        window->setAuthenticationCheck([this] { return signedIn; });
    }
    // Waits for a load to end: the buttons come back.
    bool loaded() const
    {
        return QVWaitUntil([this] { return window->changeCollectionButton()->isEnabled(); }, 20000);
    }
    QString storedPath() const { return defaults->stringForKey(QLatin1String(QVITunesLibraryPathKey)); }

    QTemporaryDir home;
    QVTestDefaults defaults;
    bool signedIn = true;
    std::unique_ptr<QVMatchCollectionWindow> window;

private:
    QByteArray _savedHome;
    QByteArray _savedConfig;
};

// The first opening stores and loads the default library; a chosen folder's
// "iTunes Library.xml" loads; a folder with neither library says so.
TEST_F(QVMatchCollectionWindowTest, TheDefaultLibraryAndChosenFolders)
{
    // The first word of the full name, else the login name.
    EXPECT_EQ(QVMatchCollectionWindow::libraryTitle("Rar Azodizav", "rar"), "Rar's iTunes Music");
    EXPECT_EQ(QVMatchCollectionWindow::libraryTitle(QString(), "rar"), "rar's iTunes Music");
    const QString path = QVMatchCollectionWindow::defaultLibraryPath();
    EXPECT_EQ(path, home.filePath(QStringLiteral("Music/iTunes/iTunes Music Library.xml")));
    writeLibrary(path, 1);
    create();
    EXPECT_EQ(storedPath(), path);
    EXPECT_EQ(window->lastMatchedDateTextField()->text(), QStringLiteral("Never"));
    window->show();
    ASSERT_TRUE(loaded());
    EXPECT_EQ(window->songTotalTextField()->text(), QStringLiteral("1 song"));
    EXPECT_TRUE(window->matchCollectionButton()->isEnabled());

    window->changeCollection();
    auto* panel = window->findChild<QFileDialog*>();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->windowModality(), Qt::WindowModal);
    EXPECT_EQ(panel->fileMode(), QFileDialog::Directory);
    const QString folder = home.filePath(QStringLiteral("Elsewhere"));
    writeLibrary(folder + QStringLiteral("/iTunes Library.xml"), 1234);
    window->openPanelDidEnd(1, folder);
    ASSERT_TRUE(loaded());
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(window->songTotalTextField()->text(), QStringLiteral("1,234 songs"));
    EXPECT_EQ(storedPath(), folder + QStringLiteral("/iTunes Library.xml"));

    QDir(home.path()).mkdir(QStringLiteral("Empty"));
    window->openPanelDidEnd(1, home.filePath(QStringLiteral("Empty")));
    ASSERT_TRUE(loaded());
    EXPECT_EQ(window->libraryNameTextField()->text(), QStringLiteral("No iTunes library found."));
    EXPECT_FALSE(window->matchCollectionButton()->isEnabled());
}

// Against the demo service, four batches of 16, 49, 50 and 13 tracks: signed
// out, the service unreachable, reached only once, and a cancel.
TEST_F(QVMatchCollectionWindowTest, MatchingRunsAndTheirFailures)
{
    QVDemoService service;
    ASSERT_TRUE(service.start()) << service.errorString().toStdString();
    QVServerConnection pool;
    QNetworkAccessManager network;
    // Makes the service's bulk adds fail on purpose, after `after` answered ones.
    const auto control = [&](const QByteArray& mode, int after) {
        QNetworkRequest request(QUrl(service.baseUrl() + QStringLiteral("/api/demo/control")));
        request.setHeader(QNetworkRequest::ContentTypeHeader, "application/x-www-form-urlencoded");
        std::unique_ptr<QNetworkReply> reply(network.post(
            request, "call=bulkAddToLibrary&mode=" + mode + "&after=" + QByteArray::number(after)));
        return QVWaitUntil([&] { return reply->isFinished(); }) && reply->error() == QNetworkReply::NoError;
    };
    const auto sheetClosed = [this] {
        return QVWaitUntil([this] { return !window->matchProgressWindow()->isVisible(); }, 30000);
    };
    const auto indeterminate = [this] { return window->matchProgressIndicator()->maximum() == 0; };
    writeLibrary(QVMatchCollectionWindow::defaultLibraryPath(), 128, 0);
    create();
    window->collectionMatcher()->setServerConnection(&pool);
    window->collectionMatcher()->setBaseURL(service.baseUrl());
    window->show();
    ASSERT_TRUE(loaded());

    signedIn = false;
    window->matchCollectionButton()->click();
    EXPECT_FALSE(window->collectionMatcher()->isRunning());
    EXPECT_FALSE(window->matchProgressWindow()->isVisible());

    // Every batch lost: the window says so and the history stays.
    signedIn = true;
    ASSERT_TRUE(control("drop", 0));
    window->matchCollectionButton()->click();
    EXPECT_EQ(window->matchProgressWindow()->windowModality(), Qt::WindowModal);
    ASSERT_TRUE(sheetClosed());
    EXPECT_TRUE(window->matchStatusTextField()->text().contains(QStringLiteral("could not be reached")));
    EXPECT_EQ(window->lastMatchedDateTextField()->text(), QStringLiteral("Never"));

    // Only the first answered: the history is written and the window says how many songs were not sent.
    ASSERT_TRUE(control("drop", 1));
    window->matchCollection();
    ASSERT_TRUE(sheetClosed());
    EXPECT_TRUE(window->matchStatusTextField()->text().contains(QStringLiteral("songs could not be sent")))
        << window->matchStatusTextField()->text().toStdString();
    EXPECT_NE(window->lastMatchedDateTextField()->text(), QStringLiteral("Never"));
    // A picture of the window for people to look at.
    EXPECT_TRUE(window->grab().save(QDir::temp().filePath(QStringLiteral("quiv-match-collection.png"))));

    // A cancel keeps the bar indeterminate until the sheet closes, whatever answers come late.
    ASSERT_TRUE(control("hang", 1));
    window->matchCollection();
    EXPECT_TRUE(indeterminate());
    ASSERT_TRUE(QVWaitUntil([&] { return !indeterminate(); }, 30000)) << "the first answer";
    window->cancelMatchCollection();
    window->onCollectionMatchingProgress(50);
    EXPECT_TRUE(indeterminate());
    EXPECT_TRUE(sheetClosed());
    EXPECT_TRUE(control("ok", 0));
}

} // namespace
