#include "QVURLRedirectSniffer.h"
#include "QVTestHttpServer.h"
#include "QVTestWait.h"

#include <gtest/gtest.h>

#include <QNetworkReply>
#include <QTest>
#include <QUrl>

namespace {

class RecordingOwner : public QVURLLoadHandler
{
public:
    void handleURLLoad(const QString& url) override { calls.append(url); }
    QStringList calls;
};

class QVURLRedirectSnifferTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.listen()); }

    // Sniffs `url` to its end and a little past it, so a late call would show.
    void sniff(const QString& url)
    {
        sniffer.followRedirect(url);
        EXPECT_TRUE(QVWaitUntil([&] { return !sniffer.isSniffing(); }, 5000)) << url.toStdString();
        QTest::qWait(100);
    }

    QVTestHttpServer server;
    RecordingOwner owner;
    QVURLRedirectSniffer sniffer { nullptr, &owner, 1000 };
};

} // namespace

TEST_F(QVURLRedirectSnifferTest, ARedirectHandsOverTheFinalAddressOnceAndANewLinkReplacesTheOld)
{
    const QString final = server.url("/bytes?size=2000000&chunk=1000&interval=20");
    const QString hop = server.url("/redirect?to=") + QUrl::toPercentEncoding(final);
    sniff(server.url("/redirect?to=") + QUrl::toPercentEncoding(hop));
    ASSERT_EQ(owner.calls.size(), 1);
    EXPECT_EQ(owner.calls.first().toStdString(), QUrl(final).toString(QUrl::FullyEncoded).toStdString());
    // The transfer ended at the headers: the two-megabyte body was never read.
    EXPECT_TRUE(QVWaitUntil([&] { return server.clientAborts() >= 1; }, 3000));

    // A new link replaces the one still running; a gone owner hears nothing.
    owner.calls.clear();
    const QString slowTarget = server.url("/bytes?size=1&n=1");
    const QString fastTarget = server.url("/bytes?size=1&n=2");
    sniffer.followRedirect(server.url("/redirect?hold=300&to=") + QUrl::toPercentEncoding(slowTarget));
    sniff(server.url("/redirect?to=") + QUrl::toPercentEncoding(fastTarget));
    QTest::qWait(400);
    ASSERT_EQ(owner.calls.size(), 1);
    EXPECT_EQ(QUrl(owner.calls.first()), QUrl(fastTarget));

    auto gone = std::make_unique<RecordingOwner>();
    QVURLRedirectSniffer orphan(nullptr, gone.get(), 1000);
    orphan.followRedirect(server.url("/redirect?hold=100&to=") + QUrl::toPercentEncoding(fastTarget));
    gone.reset();
    EXPECT_TRUE(QVWaitUntil([&] { return !orphan.isSniffing(); }, 3000));
}

// Each of these ends with no call, nothing left running, no reply left behind.
TEST_F(QVURLRedirectSnifferTest, NoRedirectALoopAnOddTargetOrSilenceHandOverNothing)
{
    const struct {
        const char* name;
        QString url;
    } cases[] = {
        { "no redirect", server.url("/bytes?size=10") },
        { "a loop", server.url("/loop") },
        { "to ftp", server.url("/redirect?to=ftp%3A%2F%2F127.0.0.1%2Fx") },
        { "a silent server", server.url("/bytes?hold=60000") },
        { "not http", QStringLiteral("javascript:alert(1)") },
        { "too long", server.url("/bytes?x=") + QString(10000, u'a') },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sniff(c.url);
        EXPECT_TRUE(owner.calls.isEmpty()) << owner.calls.value(0).toStdString();
        EXPECT_FALSE(sniffer.isSniffing());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(sniffer.findChildren<QNetworkReply*>().isEmpty());
    }
}
