#include "QVSearchField.h"
#include "QVAlbumArtHandler.h"
#include "QVPlaybackTestSupport.h"
#include "QVSearchCell.h"
#include "QVSearchTableView.h"
#include "QVSearchTestServer.h"
#include "QVSearchWindow.h"
#include "QVServerConnection.h"
#include "QVTestWait.h"
#include "QVUtils.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkReply>
#include <QTemporaryDir>

namespace {

// The five-row answer: a top artist, two albums and a song.
const char kFiveRows[] = R"({"top": {"type": "r", "id": 1, "name": "Top"},
    "a": [{"type": "A", "id": 11, "name": "Album 1", "artist": "X", "baseIcon": "a11", "url": "/album/a11/"},
          {"type": "a", "id": 12, "name": "Album 2", "artist": "X", "url": "/album/a12/"}],
    "t": [{"type": "t", "id": 101, "displayName": "Song", "artist": "X", "url": "/track/t101/"}]})";

// What the navigation script sent the router to, or "" when none was sent.
QString navigatedPath(const QVFakeWebView& page)
{
    for (const QString& script : page.scripts) {
        const QString head = QStringLiteral("Q.router.navigate(");
        if (!script.startsWith(head) || !script.endsWith(QLatin1String(", true)")))
            continue;
        const QString literal = script.mid(head.size(), script.size() - head.size() - 7);
        const QJsonDocument document = QJsonDocument::fromJson("[" + literal.toUtf8() + "]");
        return document.isArray() ? document.array().at(0).toString() : QStringLiteral("<unparsable>");
    }
    return {};
}

class QVSearchFieldTest : public PlaybackServiceTest
{
protected:
    void SetUp() override
    {
        loadPlayingPage();
        page.answers["window.Q && Q.serverInfo && Q.serverInfo.get('is_address')"]
            = server.baseURL() + "/images/art";
        page.answers["Q.Library.contains('t', [101])"] = "true";
        page.answers["Q.Library.contains('a', [11])"] = "true";
        QImage art(40, 40, QImage::Format_RGB32);
        art.fill(Qt::red);
        QBuffer buffer(&server.picture);
        buffer.open(QIODevice::WriteOnly);
        art.save(&buffer, "PNG");

        QVAlbumArtHandler::Services artServices;
        artServices.notificationCenter = &center;
        artServices.serverConnection = &pool;
        artServices.cacheDirectory = folder.path();
        artServices.cleanupDelayMs = -1;
        art_ = std::make_unique<QVAlbumArtHandler>(&service, artServices);

        QVSearchField::Services services;
        services.notificationCenter = &center;
        services.baseURL = server.baseURL();
        services.albumArtHandler = art_.get();
        services.collectionReader
            = [this](const QList<unsigned int>& tracks, const QList<unsigned int>& albums) {
                  ++collectionReads;
                  return service.areInUsersCollection(tracks, albums);
              };
        host.resize(700, 500);
        field = new QVSearchField(&host, services);
        field->move(480, 10);
        field->setWebView(&page);
        host.show();
        page.scripts.clear();
        server.answer = [](const QString&) { return QByteArray(kFiveRows); };
    }
    void TearDown() override { delete field; }

    // Types `text` into the field as a user would and waits for its list.
    bool typeAndWaitForList(const QString& text)
    {
        const int shown = field->statistics().listsShown;
        field->clear();
        QTest::keyClicks(field, text);
        return QVWaitUntil([&] { return field->statistics().listsShown > shown; });
    }

    QTemporaryDir folder;
    QVServerConnection pool;
    QVSearchTestServer server;
    std::unique_ptr<QVAlbumArtHandler> art_;
    QWidget host;
    QVSearchField* field = nullptr;
    int collectionReads = 0;
};

} // namespace

TEST_F(QVSearchFieldTest, TheFiveRowAnswerWithItsPaddingsMarksAndArt)
{
    const int tripsBefore = page.roundTrips;
    ASSERT_TRUE(typeAndWaitForList("ha"));
    struct Row {
        QString title;
        QString category;
        int type;
        unsigned top;
        unsigned bottom;
        int height;
    };
    const QList<Row> expected {
        { "Show all results...", "", 0, 4, 5, 29 },
        { "Top", "Top Hit", 1, 5, 5, 30 },
        { "Album 1", "Albums", 2, 5, 0, 38 },
        { "Album 2", "", 2, 0, 5, 38 },
        { "Song", "Songs", 3, 5, 5, 43 },
    };
    ASSERT_EQ(field->suggestions().size(), size_t(expected.size()));
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const QVSearchSuggestion& row = *field->suggestions().at(size_t(i));
        SCOPED_TRACE(i);
        EXPECT_EQ(row.title(), expected[i].title);
        EXPECT_EQ(row.category(), expected[i].category);
        EXPECT_EQ(row.type(), expected[i].type);
        EXPECT_EQ(row.topPadding(), expected[i].top);
        EXPECT_EQ(row.bottomPadding(), expected[i].bottom);
        EXPECT_EQ(field->searchTableView()->rowHeight(int(i)), expected[i].height);
    }
    // Both collection reads in one round trip (the other reads the image server's address for the
    // one album with art): the song is checked, the album shows nothing on the right.
    EXPECT_EQ(collectionReads, 1);
    EXPECT_EQ(page.scripts.filter("Q.Library.contains(").size(), 3);
    EXPECT_EQ(page.roundTrips - tripsBefore, 2);
    const auto& rows = field->suggestions();
    EXPECT_EQ(QVSearchCell::nameOfImage(QVSearchField::rightImageForSuggestion(*rows[4], false)),
        "search_icon_check");
    EXPECT_EQ(QVSearchCell::nameOfImage(QVSearchField::rightImageForSuggestion(*rows[4], true)),
        "search_icon_check_hover");
    EXPECT_TRUE(rows[2]->indicated());
    EXPECT_TRUE(QVSearchField::rightImageForSuggestion(*rows[2], false).isNull());
    EXPECT_EQ(QVSearchCell::nameOfImage(QVSearchField::leftImageForSuggestion(*rows[3], false)),
        "search_icon_album");

    // The album's art replaces its icon once it arrives: one table update for the turn.
    ASSERT_TRUE(QVWaitUntil([&] { return !rows[2]->albumArtImage().isNull(); }));
    const QImage art = QVSearchField::leftImageForSuggestion(*rows[2], true);
    EXPECT_TRUE(QVSearchCell::nameOfImage(art).isEmpty());
    EXPECT_EQ(art.deviceIndependentSize(), QSizeF(16, 16));
    EXPECT_EQ(server.artRequests, 1);
    const int reloads = field->statistics().tableReloads;
    for (int i = 0; i < 10; ++i)
        rows[2]->albumArtRequestCompleted(art, "a11");
    QTest::qWait(20);
    EXPECT_EQ(field->statistics().tableReloads, reloads + 1);

    // The list sits under the field's right end, inside the window.
    const QRect list = field->searchWindow()->listGeometry();
    EXPECT_EQ(list.right() + 1, field->geometry().right() + 1 - 5);
    EXPECT_EQ(list.top(), field->geometry().bottom() + 1 + 2);
    EXPECT_EQ(list.width(), 300);
    EXPECT_EQ(list.height(), 29 + 30 + 38 + 38 + 43);
    // In full screen it sits five points lower.
    host.showFullScreen();
    ASSERT_TRUE(QVWaitUntil([&] { return host.isFullScreen(); }));
    ASSERT_TRUE(typeAndWaitForList("hb"));
    EXPECT_EQ(field->searchWindow()->listGeometry().top(), list.top() + 5);
}

TEST_F(QVSearchFieldTest, GroupsComeInOrderAndTheListIsBounded)
{
    server.answer = [](const QString&) {
        QJsonObject answer;
        const char* keys[] = { "s", "p", "t", "a", "r" };
        for (const char* key : keys) {
            QJsonArray group;
            for (int i = 0; i < 30; ++i)
                group.append(QJsonObject { { "type", key }, { "id", i }, { "name", QString(5000 - 1, 'n') },
                    { "artist", QString(1500, 'x') }, { "canUnfollow", true }, { "url", "/x/" } });
            answer.insert(key, group);
        }
        return QJsonDocument(answer).toJson();
    };
    ASSERT_TRUE(typeAndWaitForList("abc"));
    const auto& rows = field->suggestions();
    ASSERT_EQ(rows.size(), size_t(QVSearchField::kMaximumRows));
    QStringList categories;
    for (const auto& row : rows) {
        if (!row->category().isEmpty())
            categories.append(row->category());
        EXPECT_LE(row->title().size(), 1000);
        EXPECT_LE(row->subTitle().size(), 1000);
    }
    // Names over the reader's 4,096 are dropped; 99 rows fit: 30 + 30 + 30 + 9 playlists.
    EXPECT_EQ(categories, (QStringList { "Artists", "Albums", "Songs", "Playlists" }));
    EXPECT_EQ(rows.back()->type(), int(QVSearchSuggestion::TypePlaylist));
    EXPECT_EQ(rows.back()->bottomPadding(), 5u);
    // The list is taller than the window: it stops at the window's edge and scrolls.
    EXPECT_LE(field->searchWindow()->geometry().bottom(), host.height());
}

TEST_F(QVSearchFieldTest, EscapingOfTheRequestTheSearchPathAndTheScript)
{
    const QStringList texts { "a&b c", "C++", "100%", "AC/DC", "what?#", "new order", "🎵 ünï",
        "it's \"x\" \\ y", "line\nbreak" };
    server.answer = [](const QString&) { return QByteArray("{}"); };
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        page.scripts.clear();
        field->setText(text);
        field->_startSearchRequest(text);
        ASSERT_TRUE(QVWaitUntil([&] { return !field->isRequestPending(); }));
        // The query arrives whole: nothing of it splits the query string.
        EXPECT_EQ(server.queries.last(), text);
        const QByteArray target = server.targets.last();
        const QByteArray query = target.mid(target.indexOf("?query=") + 7);
        for (const char c : QByteArray("&=+/?# \n'\"\\"))
            EXPECT_FALSE(query.contains(c)) << c;

        // Return with the list hidden: the search page of the text, as one path segment.
        field->hideSearchWindow();
        QTest::keyClick(field, Qt::Key_Return);
        const QString path = navigatedPath(page);
        ASSERT_TRUE(path.startsWith("/search/") && path.endsWith("/")) << path.toStdString();
        const QString segment = path.mid(8, path.size() - 9);
        EXPECT_FALSE(segment.contains('/') || segment.contains('?') || segment.contains('#'));
        EXPECT_EQ(QUrl::fromPercentEncoding(segment.toLatin1()),
            QVUtils::stringWithSpacedOutNewlineCharacters(field->text()));
    }
    EXPECT_EQ(QVSearchField::searchPathForText("new order"), "/search/new%20order/");
    EXPECT_EQ(QVSearchField::searchPathForText("AC/DC"), "/search/AC%2FDC/");

    // A path from the answer with quotes and line breaks reaches the router as the same string, or not at
    // all.
    server.answer = [](const QString&) {
        return QByteArray(R"({"t": [{"type": "t", "id": 5, "name": "q", "url": "/track/it's \"q\" \\/"},
                              {"type": "t", "id": 6, "name": "n", "url": "/a\nb/"}]})");
    };
    ASSERT_TRUE(typeAndWaitForList("qq"));
    page.scripts.clear();
    QTest::keyClick(field, Qt::Key_Down);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(navigatedPath(page), QString("/track/it's \"q\" \\/"));
    EXPECT_EQ(field->suggestions().at(2)->path(), QString()); // a line break is no path
}

TEST_F(QVSearchFieldTest, ReturnAndEscapeAndShortQueries)
{
    // Return in an empty field does nothing.
    QTest::keyClick(field, Qt::Key_Return);
    field->setText("   ");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(navigatedPath(page), QString());

    // One character sends nothing; two send one request.
    QTest::keyClicks(field, "x");
    field->clear();
    QTest::keyClicks(field, "a");
    QTest::qWait(QVSearchField::kTypingPauseMs + 100);
    EXPECT_EQ(server.queries.size(), 0);
    EXPECT_EQ(field->searchType(), 1);
    QTest::keyClicks(field, "b");
    ASSERT_TRUE(QVWaitUntil([&] { return field->isSearchWindowVisible(); }));
    EXPECT_EQ(server.queries, QStringList { "ab" });

    // Return on the highlighted "Show all results..." runs the full search and hides the list.
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(field->searchType(), 0);
    EXPECT_EQ(navigatedPath(page), "/search/ab/");
    EXPECT_FALSE(field->isSearchWindowVisible());

    // Escape empties the field and hides the list.
    ASSERT_TRUE(typeAndWaitForList("ha"));
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_FALSE(field->isSearchWindowVisible());
}

TEST_F(QVSearchFieldTest, TypingFasterThanAnswersArriveShowsOnlyTheLatestList)
{
    server.delayMs = 600;
    server.answer = [](const QString& query) {
        return QJsonDocument(QJsonObject { { "top", QJsonObject { { "type", "r" }, { "name", query } } } })
            .toJson();
    };
    QStringList shown;
    QObject::connect(
        field, &QVSearchField::suggestionsShown, [&] { shown.append(field->suggestions().at(1)->title()); });
    int mostInFlight = 0;
    const auto inFlight = [&] {
        int running = 0;
        for (QNetworkReply* reply : field->findChildren<QNetworkReply*>())
            running += reply->isRunning() ? 1 : 0;
        mostInFlight = std::max(mostInFlight, running);
    };
    for (const char c : QByteArray("abcdef")) {
        QTest::keyClick(field, c);
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 200) {
            inFlight();
            QTest::qWait(5);
        }
    }
    ASSERT_TRUE(QVWaitUntil([&] {
        inFlight();
        return !shown.isEmpty();
    }));
    QTest::qWait(100);
    EXPECT_EQ(server.queries, (QStringList { "ab", "abc", "abcd", "abcde", "abcdef" }));
    EXPECT_EQ(mostInFlight, 1);
    EXPECT_EQ(shown, QStringList { "abcdef" });
    EXPECT_EQ(field->statistics().requestsAborted, 4);

    // Two requests back to back on a quick server: only the second one's list.
    server.delayMs = 0;
    shown.clear();
    field->_startSearchRequest("first");
    field->_startSearchRequest("second");
    ASSERT_TRUE(QVWaitUntil([&] { return !shown.isEmpty(); }));
    QTest::qWait(100);
    EXPECT_EQ(shown, QStringList { "second" });
}

TEST_F(QVSearchFieldTest, HostileAnswersChangeNothingInThePage)
{
    QByteArray manyAlbums = "{\"a\": [";
    for (int i = 0; i < 10000; ++i)
        manyAlbums += QByteArray(i ? "," : "") + "{\"type\":\"a\",\"id\":" + QByteArray::number(i)
            + ",\"name\":\"n\",\"baseIcon\":\"b" + QByteArray::number(i) + "\"}";
    manyAlbums += "]}";
    const QList<QByteArray> bodies {
        QByteArray(R"({"top": "x", "r": {}, "a": [1, "x", null, {"type": 7, "id": "x", "name": 5, "url": []}],
                 "t": [{"type": "t", "id": -1, "name": {"a": 1}, "artist": [], "canUnfollow": "yes"}],
                 "s": [{"type": ["s"], "id": 1e40}], "p": "nope"})"),
        manyAlbums,
        "{\"top\": {\"name\": \"" + QByteArray(50 * 1024 * 1024, 'x') + "\"}}",
        QByteArray(100000, '[') + QByteArray(100000, ']'),
        QByteArray(R"({"t": [{"type": "t", "id": 3, "name": "x", "url": "\\');Q.player.pause();//"}],
                 "r": [{"type": "r", "id": 4, "name": "y", "url": "/artist/\r\n');alert(1)//"}]})"),
        "not json at all",
    };
    for (const QByteArray& body : bodies) {
        SCOPED_TRACE(body.left(40).toStdString());
        server.answer = [&](const QString&) { return body; };
        const int answers = field->statistics().answersRead;
        const int artBefore = server.artRequests;
        page.scripts.clear();
        field->_startSearchRequest("hostile");
        ASSERT_TRUE(QVWaitUntil([&] { return !field->isRequestPending(); }, 20000));
        QVWaitUntil([&] { return field->statistics().answersRead > answers; }, 1000);
        QTest::qWait(50);
        // Only collection reads reached the page; at most one row per kept suggestion.
        for (const QString& script : page.scripts)
            EXPECT_TRUE(script.startsWith("Q.Library.contains(") || script.contains("Q.serverInfo.get("))
                << script.toStdString();
        EXPECT_LE(field->suggestions().size(), size_t(QVSearchField::kMaximumRows));
        EXPECT_LE(server.artRequests - artBefore, QVSearchField::kMaximumRows);
        for (const auto& row : field->suggestions())
            EXPECT_TRUE(row->path().isEmpty() || row->path().startsWith('/'));
    }
    // Not JSON: the "Show all results..." row alone.
    ASSERT_EQ(field->suggestions().size(), 1u);
    EXPECT_EQ(field->suggestions()[0]->title(), "Show all results...");
}

TEST_F(QVSearchFieldTest, AStaleListsArtIsWithdrawnWhenANewListReplacesIt)
{
    server.answer = [](const QString& query) {
        QJsonArray albums;
        for (int i = 0; i < 5; ++i)
            albums.append(QJsonObject {
                { "type", "a" }, { "id", i }, { "name", "n" }, { "baseIcon", query + QString::number(i) } });
        return QJsonDocument(QJsonObject { { "a", albums } }).toJson();
    };
    // The image server never answers: art stays waiting in the pool.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    page.answers["window.Q && Q.serverInfo && Q.serverInfo.get('is_address')"]
        = QString("http://127.0.0.1:%1/images/art").arg(silent.serverPort());
    ASSERT_TRUE(typeAndWaitForList("one"));
    EXPECT_EQ(art_->pendingAlbumArtRequestCount(), 5);
    ASSERT_TRUE(typeAndWaitForList("two"));
    EXPECT_EQ(art_->pendingAlbumArtRequestCount(), 5);
    delete field;
    field = nullptr;
    EXPECT_EQ(art_->pendingAlbumArtRequestCount(), 0);
}

TEST_F(QVSearchFieldTest, KeysAndTheMouseMoveThroughTheListAndTheFieldKeepsTheKeyboard)
{
    host.activateWindow();
    field->setFocus();
    ASSERT_TRUE(QVWaitUntil([&] { return field->hasFocus(); }));
    // Nothing to move through yet: the keys are taken and nothing happens.
    QTest::keyClick(field, Qt::Key_Down);
    EXPECT_EQ(field->searchWindow(), nullptr);

    ASSERT_TRUE(typeAndWaitForList("ha"));
    QVSearchTableView* table = field->searchTableView();
    EXPECT_EQ(table->selectedRow(), 0);
    QTest::keyClick(field, Qt::Key_Up);
    EXPECT_EQ(table->selectedRow(), 0);
    QTest::keyClick(field, Qt::Key_Down);
    EXPECT_EQ(table->selectedRow(), 1);
    QTest::keyClick(field, Qt::Key_Tab);
    EXPECT_EQ(table->selectedRow(), 2);
    EXPECT_TRUE(field->hasFocus());
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(field, Qt::Key_Down);
    EXPECT_EQ(table->selectedRow(), 4);
    EXPECT_TRUE(field->hasFocus());

    // Hovering row 3 selects it; leaving the list returns to row 0.
    const QPoint inRow3(150, table->rowViewportPosition(3) + 5);
    QMouseEvent move(QEvent::MouseMove, inRow3, table->viewport()->mapToGlobal(inRow3), Qt::NoButton,
        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(table->viewport(), &move);
    EXPECT_EQ(table->selectedRow(), 3);
    EXPECT_EQ(table->mouseOverRow(), 3);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(table->viewport(), &leave);
    EXPECT_EQ(table->selectedRow(), 0);

    // Return takes the highlighted row's path; a click takes the clicked one.
    QTest::keyClick(field, Qt::Key_Down);
    QTest::keyClick(field, Qt::Key_Down);
    page.scripts.clear();
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(navigatedPath(page), "/album/a11/");
    EXPECT_FALSE(field->isSearchWindowVisible());
    // Hidden, Down shows the list again.
    QTest::keyClick(field, Qt::Key_Down);
    EXPECT_TRUE(field->isSearchWindowVisible());
    page.scripts.clear();
    const QPoint inRow4(150, table->rowViewportPosition(4) + 5);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, inRow4);
    EXPECT_EQ(navigatedPath(page), "/track/t101/");
    EXPECT_TRUE(field->hasFocus());

    // Another window becoming active hides the list.
    QTest::keyClick(field, Qt::Key_Down);
    ASSERT_TRUE(field->isSearchWindowVisible());
    QWidget other;
    other.resize(100, 100);
    other.show();
    other.activateWindow();
    EXPECT_TRUE(QVWaitUntil([&] { return !field->isSearchWindowVisible(); }, 3000));
}
