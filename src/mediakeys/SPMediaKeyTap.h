#pragma once

#include "SPMediaKeyEvent.h"

#include <QStringList>

class SPMediaKeyTap;

class SPMediaKeyTapDelegate
{
public:
    virtual ~SPMediaKeyTapDelegate() = default;
    // On the main thread; `tap` is nullptr when the event came another way.
    virtual void mediaKeyTapReceivedMediaKeyEvent(SPMediaKeyTap* tap, const SPMediaKeyEvent& event) = 0;
};

// Watches the keyboard's media keys for this program. The desktop backends
// (settings daemon, X11 grab) come later; until then no global tap is used.
class SPMediaKeyTap
{
public:
    explicit SPMediaKeyTap(SPMediaKeyTapDelegate* delegate);

    static bool usesGlobalMediaKeyTap();
    static QStringList defaultMediaKeyUserBundleIdentifiers();

    void startWatchingMediaKeys();
    bool isWatching() const { return _watching; }

private:
    SPMediaKeyTapDelegate* _delegate;
    bool _watching = false;
};
