#include "DemoServiceSuite.h"

#include <QtEndian>

namespace {

class DemoServiceAudioTest : public DemoServiceTest
{
protected:
    void SetUp() override
    {
        DemoServiceTest::SetUp();
        if (HasFatalFailure())
            return;
        whole = client->get("/media/audio/t105.wav");
        ASSERT_EQ(whole.status, 200);
        ASSERT_GT(whole.body.size(), 44);
    }

    DemoHttpResponse whole;
};

// A 22050 Hz 16-bit mono PCM WAV (the page plays it in the integration tests)
// exactly as long as the catalogue says, not silence, and the same bytes each time.
TEST_F(DemoServiceAudioTest, TracksAreValidWavsOfTheirListedLength)
{
    int duration = 0;
    for (const auto& item :
        json(client->get("/api/demo/catalogue")).value(QStringLiteral("tracks")).toArray())
        if (item.toObject().value(QStringLiteral("key")) == QStringLiteral("t105"))
            duration = item.toObject().value(QStringLiteral("duration")).toInt();
    ASSERT_GT(duration, 0);
    const QByteArray& wav = whole.body;
    EXPECT_EQ(whole.header("Accept-Ranges"), "bytes"); // the engine seeks only with it
    EXPECT_EQ(qint64(wav.size() - 44), qint64(duration) * 44100);
    qint16 peak = 0;
    for (int i = 44; i + 1 < 44 + 44100 * 3; i += 2)
        peak = std::max<qint16>(peak, qAbs(qFromLittleEndian<qint16>(wav.constData() + i)));
    EXPECT_GT(peak, 3000);
    EXPECT_EQ(client->get("/media/audio/t105.wav").body, wav);
    EXPECT_NE(client->get("/media/audio/t106.wav").body.mid(44, 4096), wav.mid(44, 4096));
    for (const QByteArray target : { "/media/audio/t999.wav", "/media/audio/a11.wav" })
        EXPECT_EQ(client->get(target).status, 404) << target.toStdString();
}

// cpp-httplib's own Content-Range is wrong for these, so the service writes it.
TEST_F(DemoServiceAudioTest, RangesAnswerExactlyTheBytesAsked)
{
    struct Case {
        QByteArray range;
        int status;
        qsizetype first = 0;
        qsizetype last = -1;
    };
    const qsizetype size = whole.body.size();
    const QByteArray all = QByteArray::number(size);
    const QList<Case> cases = {
        { "bytes=1000-1999", 206, 1000, 1999 },
        { "bytes=" + QByteArray::number(size - 10) + "-", 206, size - 10, size - 1 },
        { "bytes=-100", 206, size - 100, size - 1 },
        { "bytes=-" + QByteArray::number(size * 2), 206, 0, size - 1 },
        { "bytes=0-0", 206, 0, 0 },
        // An end past the file is cut to the file, and Content-Range says so.
        { "bytes=" + QByteArray::number(size - 5) + "-999999999", 206, size - 5, size - 1 },
        { "bytes=" + all + "-", 416 },
        { "bytes=-0", 416 },
        { "bytes=999999999-", 416 },
        // Malformed: refused, and no size is reported (rows that name a last byte).
        { "bytes=5-2", 416, 0, 0 },
        { "items=0-1", 416, 0, 0 },
        // Several ranges get the whole file.
        { "bytes=0-1,4-5", 200, 0, size - 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.range.toStdString());
        const DemoHttpResponse response = client->get("/media/audio/t105.wav", { { "Range", c.range } });
        EXPECT_EQ(response.status, c.status);
        if (c.status == 416) {
            EXPECT_EQ(response.header("Content-Range"), c.last < 0 ? "bytes */" + all : QByteArray());
            EXPECT_FALSE(response.body.trimmed().isEmpty());
        } else {
            EXPECT_EQ(response.body, whole.body.mid(c.first, c.last - c.first + 1));
        }
        if (c.status == 206) {
            EXPECT_EQ(response.header("Content-Range"),
                "bytes " + QByteArray::number(c.first) + '-' + QByteArray::number(c.last) + '/' + all);
        }
    }
}

} // namespace
