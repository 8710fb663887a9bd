#include "QVTrack.h"

#include "QVAbstractWebView.h"
#include "QVPageCommands.h"
#include "QVTextValue.h"

#include <algorithm>
#include <climits>
#include <cmath>

const QStringList& QVTrack::pageKeys()
{
    static const QStringList keys { QStringLiteral("name"), QStringLiteral("key"), QStringLiteral("artist"),
        QStringLiteral("album"), QStringLiteral("url"), QStringLiteral("artistUrl"),
        QStringLiteral("albumUrl"), QStringLiteral("baseIcon"), QStringLiteral("duration") };
    return keys;
}

QString QVTrack::fieldScript(const QString& key)
{
    // The keys are our own constants, never page or user text.
    return QStringLiteral("Q.player.playingTrack().get('%1')").arg(key);
}

void QVTrack::clear()
{
    *this = QVTrack();
}

void QVTrack::setPageValues(const QStringList& values)
{
    const auto value = [&values](int index) { return values.value(index).left(kMaxFieldLength); };
    _trackName = value(0);
    _trackKey = value(1);
    _artist = value(2);
    _album = value(3);
    _url = value(4);
    _artistURL = value(5);
    _albumURL = value(6);
    _baseIcon = value(7);
    // The page gives fractional seconds: rounded, so the time shown never
    // stops a second short of the end.
    const double seconds = QVTextValue::floatValue(values.value(8));
    _duration = seconds > 0 ? unsigned(std::lround(std::min(seconds, double(INT_MAX)))) : 0;
}

bool QVTrack::updatePropertiesWithWebView(QVAbstractWebView* webView)
{
    if (!webView) {
        clear();
        return true;
    }
    // The guard and every field in one round trip: one track's fields, never two.
    QStringList reads { kQVHasPlayingTrackScript };
    for (const QString& key : pageKeys())
        reads.append(fieldScript(key));
    const QStringList values = webView->evaluateBatch(reads);
    if (values.size() != reads.size())
        return false;
    if (!QVTextValue::boolValue(values.first()))
        clear();
    else
        setPageValues(values.mid(1));
    return true;
}
