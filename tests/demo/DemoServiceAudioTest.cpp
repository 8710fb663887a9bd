#include "DemoServiceSuite.h"
#include "QVDemoService.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QtEndian>

#include <memory>

namespace {

quint32 le32(const QByteArray& data, int offset)
{
    return qFromLittleEndian<quint32>(data.constData() + offset);
}

class DemoServiceAudioTest : public DemoServiceSuite
{
protected:
    void SetUp() override
    {
        DemoServiceSuite::SetUp();
        if (HasFatalFailure())
            return;
        whole = client->get("/media/audio/t105.wav");
        ASSERT_EQ(whole.status, 200);
        size = whole.body.size();
        ASSERT_GT(size, 44);
    }

    QByteArray rangeOf(qsizetype first, qsizetype last) const
    {
        return whole.body.mid(first, last - first + 1);
    }

    DemoHttpResponse whole;
    qsizetype size = 0;
};

// Every track: a 22050 Hz 16-bit mono PCM WAV exactly as long as the catalogue
// says, different from every other track, and the same bytes each time.
TEST_F(DemoServiceAudioTest, EveryTrackIsAValidWavOfItsListedLength)
{
    const DemoHttpResponse catalogue = client->get("/api/demo/catalogue");
    const QJsonArray tracks
        = QJsonDocument::fromJson(catalogue.body).object().value(QStringLiteral("tracks")).toArray();
    ASSERT_EQ(tracks.size(), 12);
    QSet<QByteArray> digests;
    for (const auto& item : tracks) {
        const QJsonObject track = item.toObject();
        SCOPED_TRACE(track.value(QStringLiteral("key")).toString().toStdString());
        const DemoHttpResponse response
            = client->get(track.value(QStringLiteral("audioUrl")).toString().toUtf8());
        ASSERT_EQ(response.status, 200);
        EXPECT_EQ(response.header("Accept-Ranges"), "bytes"); // the engine seeks only with it
        const QByteArray& wav = response.body;
        ASSERT_GE(wav.size(), 44);
        // The sizes in the header agree with the body; 22050 Hz, 16-bit mono.
        EXPECT_EQ(le32(wav, 4), quint32(wav.size() - 8));
        EXPECT_EQ(le32(wav, 40), quint32(wav.size() - 44));
        EXPECT_EQ(le32(wav, 28), 44100u);
        EXPECT_EQ(qint64(wav.size() - 44), qint64(track.value(QStringLiteral("duration")).toInt()) * 44100);
        // Not silence: some sample in the first seconds is loud.
        qint16 peak = 0;
        for (int i = 44; i + 1 < 44 + 44100 * 3; i += 2)
            peak = std::max<qint16>(peak, qAbs(qFromLittleEndian<qint16>(wav.constData() + i)));
        EXPECT_GT(peak, 3000);
        digests.insert(QCryptographicHash::hash(wav.mid(44), QCryptographicHash::Sha1));
    }
    EXPECT_EQ(digests.size(), 12);
    EXPECT_EQ(client->get("/media/audio/t105.wav").body, whole.body);
}

TEST_F(DemoServiceAudioTest, SingleRangesAnswerExactlyTheBytesAsked)
{
    struct Case {
        QByteArray range;
        qsizetype first;
        qsizetype last;
    };
    const QList<Case> cases = {
        { "bytes=0-43", 0, 43 },
        { "bytes=1000-1999", 1000, 1999 },
        { "bytes=" + QByteArray::number(size - 10) + "-", size - 10, size - 1 },
        { "bytes=-100", size - 100, size - 1 },
        { "bytes=-" + QByteArray::number(size * 2), 0, size - 1 },
        { "bytes=0-0", 0, 0 },
        // An end past the file is cut to the file, and Content-Range says so.
        { "bytes=" + QByteArray::number(size - 5) + "-999999999", size - 5, size - 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.range.toStdString());
        const DemoHttpResponse response = client->get("/media/audio/t105.wav", { { "Range", c.range } });
        EXPECT_EQ(response.status, 206);
        EXPECT_EQ(response.header("Content-Range"),
            "bytes " + QByteArray::number(c.first) + '-' + QByteArray::number(c.last) + '/'
                + QByteArray::number(size));
        EXPECT_EQ(response.body, rangeOf(c.first, c.last));
    }
}

TEST_F(DemoServiceAudioTest, UnsatisfiableOrMalformedRangesAre416)
{
    for (const QByteArray& range : { "bytes=" + QByteArray::number(size) + "-",
             QByteArray("bytes=999999999-"), QByteArray("bytes=-0") }) {
        SCOPED_TRACE(range.toStdString());
        const DemoHttpResponse response = client->get("/media/audio/t105.wav", { { "Range", range } });
        EXPECT_EQ(response.status, 416);
        EXPECT_EQ(response.header("Content-Range"), "bytes */" + QByteArray::number(size));
        EXPECT_TRUE(response.body.contains("not satisfiable"));
    }
    for (const QByteArray range : { "bytes=5-2", "bytes=abc", "items=0-1" }) {
        SCOPED_TRACE(range.toStdString());
        const DemoHttpResponse response = client->get("/media/audio/t105.wav", { { "Range", range } });
        EXPECT_EQ(response.status, 416);
        EXPECT_FALSE(response.body.trimmed().isEmpty());
    }
}

TEST_F(DemoServiceAudioTest, SeveralRangesGetTheWholeFile)
{
    const DemoHttpResponse response = client->get("/media/audio/t105.wav", { { "Range", "bytes=0-1,4-5" } });
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, whole.body);
}

TEST_F(DemoServiceAudioTest, UnknownTracksAreNotFound)
{
    for (const QByteArray target :
        { "/media/audio/t999.wav", "/media/audio/a11.wav", "/media/audio/t101.wav.wav" }) {
        SCOPED_TRACE(target.toStdString());
        const DemoHttpResponse response = client->get(target);
        EXPECT_EQ(response.status, 404);
        EXPECT_FALSE(response.body.trimmed().isEmpty());
    }
}

} // namespace
