#pragma once

#include "QVNotificationCenter.h"
#include "QVShadow.h"
#include "QVSystemInfo.h"
#include "QVUserDefaults.h"

#include <QColor>
#include <QFont>
#include <QString>

// Which web host the client talks to, which system generation the window chrome
// follows, and the text colours and shadows the native controls share.
class QVUIConstantsService
{
public:
    // Created on first use and never released.
    static QVUIConstantsService* sharedInstance();

    // Tests pass their own centre, defaults and version; the developer host is
    // read from QUIV_DEVELOPER_HOST here.
    explicit QVUIConstantsService(QVNotificationCenter* center = QVNotificationCenter::defaultCenter(),
        QVUserDefaults* defaults = QVUserDefaults::standardUserDefaults(),
        const QString& productVersion = QVSystemInfo::productVersion());
    QVUIConstantsService(const QVUIConstantsService&) = delete;
    QVUIConstantsService& operator=(const QVUIConstantsService&) = delete;

    // Start-up switches: QUIV_USE_LOCALHOST=1 points the client at the developer host.
    void applyEnvironment();

    // The service's base URL, plain http, no trailing slash.
    QString quivURL() const;

    // "host:port" from QUIV_DEVELOPER_HOST, else the default.
    QString developerHost() const { return _developerHost; }
    bool shouldUseLocalhost() const { return _shouldUseLocalhost; }
    // Posts Quiv_QuivUrlChanged (object nullptr) when the value changes.
    void setShouldUseLocalhost(bool shouldUseLocalhost);

    // 10.10 or later; fixed at construction.
    bool isYosemite() const { return _isYosemite; }
    // The version test itself: major, then minor. A bare major from 11 on is
    // modern; anything unreadable is not.
    static bool isYosemiteVersion(const QString& productVersion);

    bool isUsingGraphiteSystemTint() const;
    bool isUsingBlueSystemAppearance() const;

    QVShadow defaultTextShadow() const;
    QVShadow defaultTextShadowWithAlpha(float alpha) const;
    QVShadow defaultNowPlayingViewTextShadow() const;
    QColor defaultShadowedWhiteTextColor() const;
    QColor defaultInactiveShadowedWhiteTextColor() const;

    // The chrome's fonts: the type families the controls are designed in map
    // to the desktop's sans-serif (fontconfig decides which face that is) at
    // the weight the family name asks for, `pixelSize` layout pixels, with
    // greyscale edges only. An unknown family is taken as a desktop family.
    static QFont fontNamed(const QString& family, qreal pixelSize);

    static constexpr const char* productionHost = "www.quiv.example";
    static constexpr const char* defaultDeveloperHost = "localhost:8000";

private:
    QVNotificationCenter* _center;
    QVUserDefaults* _defaults;
    QString _developerHost;
    bool _shouldUseLocalhost = false;
    bool _isYosemite = false;
};
