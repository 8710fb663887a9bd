#include "QVWebProfile.h"

#include "QVPaths.h"

#include <QCoreApplication>
#include <QWebEngineProfile>
#include <QWebEngineSettings>

namespace QVWebProfile {

QWebEngineProfile* sharedProfile()
{
    static QWebEngineProfile* profile = [] {
        auto* p = new QWebEngineProfile(QStringLiteral("Quiv"), QCoreApplication::instance());
        p->setPersistentStoragePath(QVPaths::supportDirectory() + QStringLiteral("/WebEngine"));
        p->setCachePath(QVPaths::cacheDirectory() + QStringLiteral("/WebEngine"));
        p->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
        p->settings()->setAttribute(QWebEngineSettings::LocalStorageEnabled, true);
        p->settings()->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        p->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);
        return p;
    }();
    return profile;
}

} // namespace QVWebProfile
