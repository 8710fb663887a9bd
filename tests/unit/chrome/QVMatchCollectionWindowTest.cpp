#include "QVMatchCollectionWindow.h"
#include "QVConstants.h"
#include "QVDemoService.h"
#include "QVITunesLibraryFixture.h"
#include "QVServerConnection.h"
#include "QVTestDefaults.h"
#include "QVTestWait.h"
#include "QVTextPushButton.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
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

TEST(QVMatchCollectionWindowTitleTest, TheTitleTakesTheFirstWordOfTheFullName)
{
    EXPECT_EQ(QVMatchCollectionWindow::libraryTitle("Rar Azodizav", "rar"), "Rar's iTunes Music");
    EXPECT_EQ(QVMatchCollectionWindow::libraryTitle(QString(), "rar"), "rar's iTunes Music");
    EXPECT_EQ(QVMatchCollectionWindow::libraryTitle("  Ada  ", "x"), "Ada's iTunes Music");
}

TEST_F(QVMatchCollectionWindowTest, TheFirstOpeningStoresAndLoadsTheDefaultLibrary)
{
    const QString path = QVMatchCollectionWindow::defaultLibraryPath();
    EXPECT_EQ(path, home.filePath(QStringLiteral("Music/iTunes/iTunes Music Library.xml")));
    writeLibrary(path, 1);
    create();
    EXPECT_EQ(storedPath(), path);
    EXPECT_EQ(window->lastMatchedDateTextField()->text(), QStringLiteral("Never"));
    window->show();
    ASSERT_TRUE(loaded());
    EXPECT_EQ(window->songTotalTextField()->text(), QStringLiteral("1 song"));
    EXPECT_FALSE(window->detectCollectionButton()->isEnabled()) << "the default library is the loaded one";
    EXPECT_TRUE(window->matchCollectionButton()->isEnabled());
}

TEST_F(QVMatchCollectionWindowTest, ChoosingAFolderLoadsItsLibraryOrShowsTheFailure)
{
    create();
    window->show();
    ASSERT_TRUE(loaded());
    EXPECT_EQ(window->libraryNameTextField()->text(), QStringLiteral("No iTunes library found."));
    EXPECT_FALSE(window->matchCollectionButton()->isEnabled());

    // The chooser is a window-modal folder chooser.
    window->changeCollection();
    auto* panel = window->findChild<QFileDialog*>();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->windowModality(), Qt::WindowModal);
    EXPECT_EQ(panel->fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(panel->testOption(QFileDialog::ShowDirsOnly));

    const QString folder = home.filePath(QStringLiteral("Elsewhere"));
    writeLibrary(folder + QStringLiteral("/iTunes Library.xml"), 1234);
    window->openPanelDidEnd(1, folder);
    ASSERT_TRUE(loaded());
    EXPECT_FALSE(panel->isVisible());
    EXPECT_EQ(window->songTotalTextField()->text(), QStringLiteral("1,234 songs"));
    EXPECT_EQ(storedPath(), folder + QStringLiteral("/iTunes Library.xml"));
    EXPECT_TRUE(window->detectCollectionButton()->isEnabled()) << "another library than the usual one";

    const QString empty = home.filePath(QStringLiteral("Empty"));
    QDir().mkpath(empty);
    window->openPanelDidEnd(1, empty);
    ASSERT_TRUE(loaded());
    EXPECT_EQ(window->libraryNameTextField()->text(), QStringLiteral("No iTunes library found."));
    window->openPanelDidEnd(0, folder); // cancelled: nothing happens
    EXPECT_FALSE(window->matchCollectionButton()->isEnabled());
}

class QVMatchCollectionWindowDemoTest : public QVMatchCollectionWindowTest
{
protected:
    void SetUp() override
    {
        QVMatchCollectionWindowTest::SetUp();
        ASSERT_TRUE(service.start()) << service.errorString().toStdString();
        // Four batches: 16, 49, 50 and 13 tracks.
        writeLibrary(QVMatchCollectionWindow::defaultLibraryPath(), 128, 0);
        create();
        window->collectionMatcher()->setServerConnection(&pool);
        window->collectionMatcher()->setBaseURL(service.baseUrl());
        window->show();
        ASSERT_TRUE(loaded());
    }
    void control(const QString& mode, int after = 0)
    {
        struct Reply : QVServerRequestDelegate {
            bool ended = false;
            void onConnectionFinished(QVServerRequestIdentifier, const QByteArray&) override { ended = true; }
            void onConnectionFailed(QVServerRequestIdentifier, const QVServerError&) override
            {
                ended = true;
            }
        } reply;
        pool.addServerRequest(service.baseUrl() + QStringLiteral("/api/demo/control"),
            QVServerRequestParams { { QStringLiteral("call"), QStringLiteral("bulkAddToLibrary") },
                { QStringLiteral("mode"), mode }, { QStringLiteral("after"), QString::number(after) } },
            true, &reply);
        ASSERT_TRUE(QVWaitUntil([&] { return reply.ended; }));
    }
    bool indeterminate() const { return window->matchProgressIndicator()->maximum() == 0; }

    QVDemoService service;
    QVServerConnection pool;
};

TEST_F(QVMatchCollectionWindowDemoTest, SignedOutTheMatchButtonDoesNothing)
{
    signedIn = false;
    window->matchCollectionButton()->click();
    EXPECT_FALSE(window->collectionMatcher()->isRunning());
    EXPECT_FALSE(window->matchProgressWindow()->isVisible());

    signedIn = true;
    window->matchCollectionButton()->click();
    EXPECT_EQ(window->matchProgressWindow()->windowModality(), Qt::WindowModal);
    ASSERT_TRUE(QVWaitUntil([this] { return !window->matchProgressWindow()->isVisible(); }, 30000));
    EXPECT_NE(window->lastMatchedDateTextField()->text(), QStringLiteral("Never"));
    EXPECT_EQ(window->totalMatchedTextField()->text(), QStringLiteral("0"));
    EXPECT_TRUE(window->matchStatusTextField()->text().isEmpty());
}

TEST_F(QVMatchCollectionWindowDemoTest, ACancelKeepsTheBarIndeterminateUntilTheSheetCloses)
{
    control(QStringLiteral("hang"), 1);
    window->matchCollection();
    EXPECT_TRUE(indeterminate());
    ASSERT_TRUE(QVWaitUntil([this] { return !indeterminate(); }, 30000)) << "the first answer";
    EXPECT_EQ(window->matchProgressIndicator()->value(), 25);

    window->cancelMatchCollection();
    EXPECT_TRUE(indeterminate());
    window->onCollectionMatchingProgress(50); // a late answer
    EXPECT_TRUE(indeterminate());
    ASSERT_TRUE(QVWaitUntil([this] { return !window->matchProgressWindow()->isVisible(); }));
    EXPECT_EQ(window->totalMatchedTextField()->text(), QStringLiteral("0")) << "the partial run";
    control(QStringLiteral("ok"));
}

TEST_F(QVMatchCollectionWindowDemoTest, AnUnreachableServiceIsSaidAndTheHistoryKept)
{
    control(QStringLiteral("drop"));
    window->matchCollection();
    ASSERT_TRUE(QVWaitUntil([this] { return !window->matchProgressWindow()->isVisible(); }, 30000));
    EXPECT_TRUE(window->matchStatusTextField()->text().contains(QStringLiteral("could not be reached")));
    EXPECT_EQ(window->lastMatchedDateTextField()->text(), QStringLiteral("Never"));

    control(QStringLiteral("drop"), 1);
    window->matchCollection();
    ASSERT_TRUE(QVWaitUntil([this] { return !window->matchProgressWindow()->isVisible(); }, 30000));
    EXPECT_TRUE(window->matchStatusTextField()->text().contains(QStringLiteral("songs could not be sent")))
        << window->matchStatusTextField()->text().toStdString();
    EXPECT_NE(window->lastMatchedDateTextField()->text(), QStringLiteral("Never"));
    control(QStringLiteral("ok"));

    // A picture of the window for people to look at.
    EXPECT_TRUE(window->grab().save(QDir::temp().filePath(QStringLiteral("quiv-match-collection.png"))));
}

} // namespace
