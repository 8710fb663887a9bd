#include "SPMediaKeyTap.h"

SPMediaKeyTap::SPMediaKeyTap(SPMediaKeyTapDelegate* delegate)
    : _delegate(delegate)
{
}

bool SPMediaKeyTap::usesGlobalMediaKeyTap()
{
    return false;
}

QStringList SPMediaKeyTap::defaultMediaKeyUserBundleIdentifiers()
{
    // Desktop-file ids of the media applications that may own the keys.
    return {QStringLiteral("com.quiv.desktop"), QStringLiteral("org.gnome.Rhythmbox3"),
            QStringLiteral("vlc"), QStringLiteral("spotify")};
}

void SPMediaKeyTap::startWatchingMediaKeys()
{
    _watching = _delegate != nullptr;
}
