#include "QVSearchField.h"
#include "QVAlbumArtHandler.h"
#include "QVPlaybackTestSupport.h"
#include "QVSearchCell.h"
#include "QVSearchFieldCell.h"
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
#include <QPainter>
#include <QTemporaryDir>

namespace {

// The five-row answer: a top artist, two albums and a song.
const char kFiveRows[] = R"({"top": {"type": "r", "id": 1, "name": "Top"},
    "a": [{"type": "A", "id": 11, "name": "Album 1", "artist": "X", "baseIcon": "a11", "url": "/album/a11/"},
          {"type": "a", "id": 12, "name": "Album 2", "artist": "X", "url": "/album/a12/"}],
    "t": [{"type": "t", "id": 101, "displayName": "Song", "artist": "X", "url": "/track/t101/"}]})";

const QString kArtAddress = QStringLiteral("window.Q && Q.serverInfo && Q.serverInfo.get('is_address')");

// The path the navigation script sent the router to, read back as JavaScript would; "" when none.
QString navigatedPath(const QVFakeWebView& page)
{
    const QString head = QStringLiteral("Q.router.navigate(");
    for (const QString& script : page.scripts.filter(head)) {
        const QString literal = script.mid(head.size(), script.size() - head.size() - 7);
        const QJsonDocument document = QJsonDocument::fromJson("[" + literal.toUtf8() + "]");
        return document.isArray() ? document.array().at(0).toString() : QStringLiteral("<unparsable>");
    }
    return {};
}

// Opaque pixels in `rect` that are near white (or near black).
int countPixels(const QImage& image, const QRect& rect, bool white)
{
    int count = 0;
    for (int y = std::max(0, rect.top()); y <= std::min(image.height() - 1, rect.bottom()); ++y)
        for (int x = std::max(0, rect.left()); x <= std::min(image.width() - 1, rect.right()); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.alpha() > 200 && (white ? qGray(c.rgb()) > 220 : qGray(c.rgb()) < 60);
        }
    return count;
}

class QVSearchFieldTest : public PlaybackServiceTest
{
protected:
    void SetUp() override
    {
        loadPlayingPage();
        page.answers[kArtAddress] = server.baseURL() + "/images/art";
        page.answers["Q.Library.contains('t', [101])"] = "true";
        page.answers["Q.Library.contains('a', [11])"] = "true";
        QImage art(40, 40, QImage::Format_RGB32);
        art.fill(Qt::red);
        QBuffer buffer(&server.picture);
        buffer.open(QIODevice::WriteOnly);
        art.save(&buffer, "PNG");
        art_ = std::make_unique<QVAlbumArtHandler>(
            &service, QVAlbumArtHandler::Services { &center, &pool, folder.path(), -1 });

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
    void request(const QString& query)
    {
        field->_startSearchRequest(query);
        ASSERT_TRUE(QVWaitUntil([&] { return !field->isRequestPending(); }, 20000));
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

TEST_F(QVSearchFieldTest, TheFiveRowAnswerWithItsPaddingsMarksArtAndPlace)
{
    const int tripsBefore = page.roundTrips;
    ASSERT_TRUE(typeAndWaitForList("ha"));
    // Upper-case types and "displayName" read; paddings and row heights per row.
    const struct {
        QString title;
        QString category;
        int type;
        unsigned top, bottom;
        int height;
    } expected[] = {
        { "Show all results...", "", 0, 4, 5, 29 },
        { "Top", "Top Hit", 1, 5, 5, 30 },
        { "Album 1", "Albums", 2, 5, 0, 38 },
        { "Album 2", "", 2, 0, 5, 38 },
        { "Song", "Songs", 3, 5, 5, 43 },
    };
    const auto& rows = field->suggestions();
    ASSERT_EQ(rows.size(), std::size(expected));
    for (size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i]->title(), expected[i].title);
        EXPECT_EQ(rows[i]->category(), expected[i].category);
        EXPECT_EQ(rows[i]->type(), expected[i].type);
        EXPECT_EQ(rows[i]->topPadding(), expected[i].top);
        EXPECT_EQ(rows[i]->bottomPadding(), expected[i].bottom);
        EXPECT_EQ(field->searchTableView()->rowHeight(int(i)), expected[i].height);
    }
    // Both collection reads in one round trip (the other reads the art server's address): the song is
    // checked, the album (in the collection too) shows nothing on the right.
    EXPECT_EQ(collectionReads, 1);
    EXPECT_EQ(page.roundTrips - tripsBefore, 2);
    EXPECT_EQ(QVSearchCell::nameOfImage(QVSearchField::rightImageForSuggestion(*rows[4], false)),
        "search_icon_check");
    EXPECT_TRUE(QVSearchField::rightImageForSuggestion(*rows[2], false).isNull());
    // A person the user follows is marked, one not followed is not.
    for (const bool follows : { true, false }) {
        const QVSearchSuggestion person(QVariantMap { { "type", "S" }, { "canUnfollow", follows } });
        EXPECT_EQ(QVSearchCell::nameOfImage(QVSearchField::rightImageForSuggestion(person, true)),
            follows ? "search_icon_following_hover" : "");
    }
    EXPECT_EQ(QVSearchCell::nameOfImage(QVSearchField::leftImageForSuggestion(*rows[3], false)),
        "search_icon_album");

    // The album's art replaces its icon; a burst of art notices is one table update.
    ASSERT_TRUE(QVWaitUntil([&] { return !rows[2]->albumArtImage().isNull(); }));
    const QImage art = QVSearchField::leftImageForSuggestion(*rows[2], true);
    EXPECT_TRUE(QVSearchCell::nameOfImage(art).isEmpty());
    const int reloads = field->statistics().tableReloads;
    for (int i = 0; i < 10; ++i)
        rows[2]->albumArtRequestCompleted(art, "a11");
    QTest::qWait(20);
    EXPECT_EQ(field->statistics().tableReloads, reloads + 1);

    // Under the field's right end, five points lower in full screen.
    const QRect list = field->searchWindow()->listGeometry();
    EXPECT_EQ(list.right(), field->geometry().right() - 5);
    EXPECT_EQ(list.top(), field->geometry().bottom() + 3);
    host.showFullScreen();
    ASSERT_TRUE(QVWaitUntil([&] { return host.isFullScreen(); }));
    ASSERT_TRUE(typeAndWaitForList("hb"));
    EXPECT_EQ(field->searchWindow()->listGeometry().top(), list.top() + 5);
}

TEST_F(QVSearchFieldTest, EscapingOfTheRequestTheSearchPathAndTheScript)
{
    server.answer = [](const QString&) { return QByteArray("{}"); };
    const QStringList texts { "a&b c", "C++", "100%", "AC/DC", "what?#", "🎵 ünï", "it's \"x\" \\ y",
        "line\nbreak" };
    for (const QString& text : texts) {
        SCOPED_TRACE(text.toStdString());
        page.scripts.clear();
        field->setText(text);
        request(text);
        // The query arrives whole: nothing of it splits the query string.
        EXPECT_EQ(server.queries.last(), text);
        const QByteArray target = server.targets.last();
        const QByteArray query = target.mid(target.indexOf("?query=") + 7);
        for (const char c : QByteArray("&=+/?# \n'\"\\"))
            EXPECT_FALSE(query.contains(c)) << c;

        // Return with the list hidden: the text's search page, the text one path segment.
        field->hideSearchWindow();
        QTest::keyClick(field, Qt::Key_Return);
        const QString path = navigatedPath(page);
        ASSERT_TRUE(path.startsWith("/search/") && path.endsWith("/")) << path.toStdString();
        const QString segment = path.mid(8, path.size() - 9);
        EXPECT_FALSE(segment.contains('/') || segment.contains('?') || segment.contains('#'));
        EXPECT_EQ(QUrl::fromPercentEncoding(segment.toLatin1()),
            QVUtils::stringWithSpacedOutNewlineCharacters(field->text()));
    }

    // A path from the answer with quotes reaches the router as the same string; one with a line
    // break not at all.
    server.answer = [](const QString&) {
        return QByteArray(R"({"t": [{"type": "t", "id": 5, "name": "q", "url": "/track/it's \"q\" \\/"},
                              {"type": "t", "id": 6, "name": "n", "url": "/a\nb/"}]})");
    };
    ASSERT_TRUE(typeAndWaitForList("qq"));
    page.scripts.clear();
    QTest::keyClick(field, Qt::Key_Down);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(navigatedPath(page), QString("/track/it's \"q\" \\/"));
    EXPECT_EQ(field->suggestions().at(2)->path(), QString());
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
        return !shown.isEmpty();
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
    ASSERT_TRUE(QVWaitUntil(inFlight));
    QTest::qWait(100);
    // One character sends nothing.
    EXPECT_EQ(server.queries, (QStringList { "ab", "abc", "abcd", "abcde", "abcdef" }));
    EXPECT_EQ(mostInFlight, 1);
    EXPECT_EQ(shown, QStringList { "abcdef" });
}

TEST_F(QVSearchFieldTest, HostileAnswersChangeNothingInThePageAndListsAreBounded)
{
    const auto answerWith = [&](const QByteArray& body) {
        server.answer = [body](const QString&) { return body; };
        page.scripts.clear();
        request("hostile");
        QTest::qWait(50);
    };
    // 150 rows with long texts: 100 shown, texts cut to 1,000 characters, inside the window.
    QJsonObject groups;
    for (const char* key : { "s", "p", "t", "a", "r" }) {
        QJsonArray group;
        for (int i = 0; i < 30; ++i)
            group.append(QJsonObject { { "type", key }, { "id", i }, { "name", QString(2000, 'n') },
                { "artist", QString(1500, 'x') }, { "url", "/x/" } });
        groups.insert(key, group);
    }
    answerWith(QJsonDocument(groups).toJson());
    ASSERT_EQ(field->suggestions().size(), size_t(QVSearchField::kMaximumRows));
    for (const auto& row : field->suggestions())
        EXPECT_LE(std::max(row->title().size(), row->subTitle().size()), 1000);
    EXPECT_LE(field->searchWindow()->geometry().bottom(), host.height());

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
        const int artBefore = server.artRequests;
        answerWith(body);
        // Only collection reads reached the page; art at most one per kept row.
        for (const QString& script : page.scripts)
            EXPECT_TRUE(script.startsWith("Q.Library.contains(") || script.contains("Q.serverInfo.get("))
                << script.toStdString();
        EXPECT_LE(field->suggestions().size(), size_t(QVSearchField::kMaximumRows));
        EXPECT_LE(server.artRequests - artBefore, QVSearchField::kMaximumRows);
        for (const auto& row : field->suggestions())
            EXPECT_TRUE(row->path().isEmpty() || row->path().startsWith('/'));
    }
    // Not JSON: the "Show all results..." row alone.
    EXPECT_EQ(field->suggestions().size(), 1u);
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
    page.answers[kArtAddress] = QString("http://127.0.0.1:%1/images/art").arg(silent.serverPort());
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
    // Nothing to move through or search yet: the keys are taken and nothing happens.
    QTest::keyClick(field, Qt::Key_Down);
    EXPECT_EQ(field->searchWindow(), nullptr);
    field->setText("   ");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(navigatedPath(page), QString());

    ASSERT_TRUE(typeAndWaitForList("ha"));
    EXPECT_EQ(field->searchType(), 1);
    QVSearchTableView* table = field->searchTableView();
    EXPECT_EQ(table->selectedRow(), 0);
    QTest::keyClick(field, Qt::Key_Up);
    EXPECT_EQ(table->selectedRow(), 0);
    QTest::keyClick(field, Qt::Key_Down);
    QTest::keyClick(field, Qt::Key_Tab);
    EXPECT_EQ(table->selectedRow(), 2);
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
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(table->viewport(), &leave);
    EXPECT_EQ(table->selectedRow(), 0);

    // Return on "Show all results..." runs the full search and hides the list.
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(field->searchType(), 0);
    EXPECT_EQ(navigatedPath(page), "/search/ha/");
    EXPECT_FALSE(field->isSearchWindowVisible());
    // Hidden, Down shows the list again; Escape empties the field and hides it, and so does another
    // window becoming active.
    QTest::keyClick(field, Qt::Key_Down);
    EXPECT_TRUE(field->isSearchWindowVisible());
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_TRUE(field->text().isEmpty());
    EXPECT_FALSE(field->isSearchWindowVisible());
    ASSERT_TRUE(typeAndWaitForList("ha"));
    QWidget other;
    other.show();
    other.activateWindow();
    EXPECT_TRUE(QVWaitUntil([&] { return !field->isSearchWindowVisible(); }, 3000));
}

TEST(QVSearchCellTest, PaddingsArtAndTheSelectedSubtitle)
{
    QVSearchCell cell;
    cell.setTopPadding(5);
    cell.setBottomPadding(5);
    EXPECT_EQ(cell.bottomPadding(), 4u) << "stored one less";
    cell.setTitle("MMMMMMMM");
    cell.setSubTitle("MMMMMMMM");

    // A 43-point row with both paddings lays its content out in 34 points.
    const QRectF frame(68, 100, 232, 43);
    EXPECT_EQ(cell.layout(frame).content, QRectF(67, 105, 235, 34));

    // A named icon and album art of the same size: the art sits 3 points lower.
    cell.setLeftImage(QVSearchCell::imageNamed("search_icon_album"));
    ASSERT_FALSE(cell.leftImage().isNull());
    const QRectF icon = cell.layout(frame).leftImage;
    QImage art(32, 32, QImage::Format_RGB32);
    art.setDevicePixelRatio(2);
    cell.setLeftImage(art);
    EXPECT_EQ(cell.layout(frame).leftImage, icon.translated(0, 3));

    // Selected, the subtitle turns white; the title stays black either way.
    QVSearchCell plain;
    plain.setTitle("MMMMMMMM");
    plain.setSubTitle("MMMMMMMM");
    const QRectF row(0, 0, 232, 33);
    const QRect subtitle = plain.layout(row).subTitle.toAlignedRect().intersected(QRect(0, 0, 120, 40));
    for (const bool selected : { true, false }) {
        SCOPED_TRACE(selected);
        QImage image(240, 40, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        plain.drawWithFrame(&painter, row, selected);
        painter.end();
        EXPECT_EQ(countPixels(image, subtitle, true) > 5, selected);
        EXPECT_GT(countPixels(image, QRect(0, 2, 120, 12), false), 5);
    }
}

// A 200-point pill stretches its middle over 180 points between 10-point caps.
TEST(QVSearchCellTest, ThePillStretchesItsMiddle)
{
    EXPECT_EQ(QVSearchFieldCell().pieces(QRectF(0, 0, 200, 22)).middle, QRectF(10, 0, 180, 22));
}
