#include "QVUIConstantsService.h"

#include "QVConstants.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {
// Values of the user's global "AppleAquaColorVariant" setting.
constexpr qint64 kBlueAppearance = 1;
constexpr qint64 kGraphiteTint = 6;

bool readComponent(const QString& text, int* value)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    if (!digits.match(text).hasMatch())
        return false;
    *value = text.toInt();
    return true;
}
} // namespace

QVUIConstantsService* QVUIConstantsService::sharedInstance()
{
    static QVUIConstantsService* instance = new QVUIConstantsService();
    return instance;
}

QVUIConstantsService::QVUIConstantsService(
    QVNotificationCenter* center, QVUserDefaults* defaults, const QString& productVersion)
    : _center(center)
    , _defaults(defaults)
    , _developerHost(qEnvironmentVariable("QUIV_DEVELOPER_HOST").trimmed())
    , _isYosemite(isYosemiteVersion(productVersion))
{
    if (_developerHost.isEmpty())
        _developerHost = QString::fromLatin1(defaultDeveloperHost);
}

void QVUIConstantsService::applyEnvironment()
{
    if (qEnvironmentVariable("QUIV_USE_LOCALHOST") == QLatin1String("1"))
        setShouldUseLocalhost(true);
}

QString QVUIConstantsService::quivURL() const
{
    if (_shouldUseLocalhost)
        return QStringLiteral("http://") + _developerHost;
    return QStringLiteral("http://") + QString::fromLatin1(productionHost);
}

void QVUIConstantsService::setShouldUseLocalhost(bool shouldUseLocalhost)
{
    if (shouldUseLocalhost == _shouldUseLocalhost)
        return;
    _shouldUseLocalhost = shouldUseLocalhost;
    if (_center)
        _center->postNotificationName(QString::fromLatin1(QVQuivUrlChangedNotification), nullptr);
}

bool QVUIConstantsService::isYosemiteVersion(const QString& productVersion)
{
    const QStringList parts = productVersion.trimmed().split(u'.');
    int major = 0;
    if (!readComponent(parts.value(0), &major))
        return false;
    if (major != 10)
        return major > 10;
    int minor = 0;
    return parts.size() > 1 && readComponent(parts.at(1), &minor) && minor >= 10;
}

bool QVUIConstantsService::isUsingGraphiteSystemTint() const
{
    return _defaults
        && _defaults->integerForKey(QString::fromLatin1(QVAppleAquaColorVariantKey)) == kGraphiteTint;
}

bool QVUIConstantsService::isUsingBlueSystemAppearance() const
{
    return _defaults
        && _defaults->integerForKey(QString::fromLatin1(QVAppleAquaColorVariantKey)) == kBlueAppearance;
}

QVShadow QVUIConstantsService::defaultTextShadow() const
{
    // A dark line 1.5 points above light text: the engraved look of the faceplate.
    return QVShadow { QColor::fromRgbF(0.15f, 0.15f, 0.15f, 1.0f), QSizeF(0.0, -1.5), 0.0 };
}

QVShadow QVUIConstantsService::defaultTextShadowWithAlpha(float alpha) const
{
    QVShadow shadow = defaultTextShadow();
    shadow.color.setAlphaF(std::clamp(alpha, 0.0f, 1.0f));
    return shadow;
}

QVShadow QVUIConstantsService::defaultNowPlayingViewTextShadow() const
{
    return defaultTextShadowWithAlpha(0.25f);
}

QColor QVUIConstantsService::defaultShadowedWhiteTextColor() const
{
    // Its components were once written as 221/224/229 on a 0-1 scale; they
    // clamp to 1.0, and opaque white is what users have always seen.
    return QColor::fromRgbF(1.0f, 1.0f, 1.0f, 1.0f);
}

QColor QVUIConstantsService::defaultInactiveShadowedWhiteTextColor() const
{
    return QColor::fromRgbF(1.0f, 1.0f, 1.0f, 0.7f);
}

QFont QVUIConstantsService::fontNamed(const QString& family, qreal pixelSize)
{
    struct Face {
        const char* family;
        QFont::Weight weight;
    };
    static const Face faces[] = {
        { "Helvetica Neue", QFont::Normal },
        { "Helvetica Neue Light", QFont::Light },
        { "Helvetica Neue Medium", QFont::Medium },
        { "Helvetica Neue Bold", QFont::Bold },
        { "Helvetica", QFont::Normal },
        { "Helvetica Bold", QFont::Bold },
        { "Lucida Grande", QFont::Normal },
        { "Lucida Grande Bold", QFont::Bold },
    };
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    font.setFamilies({ QStringLiteral("sans-serif") });
    font.setWeight(QFont::Normal);
    bool known = false;
    for (const Face& face : faces) {
        if (family.compare(QLatin1String(face.family), Qt::CaseInsensitive) == 0) {
            font.setWeight(face.weight);
            known = true;
            break;
        }
    }
    if (!known && !family.isEmpty())
        font.setFamilies({ family, QStringLiteral("sans-serif") });
    if (pixelSize > 0)
        font.setPixelSize(std::max(1, int(std::lround(pixelSize))));
    font.setStyleStrategy(QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias));
    return font;
}
