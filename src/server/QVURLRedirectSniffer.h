#pragma once

#include "QVURLLoadHandler.h"

#include <QPointer>
#include <QString>

class QVNetworkListener;

// Follows a short link to learn where it leads and hands that address to its
// owner. Until the redirect is followed for real, the short link itself is
// not opened: nothing reaches the owner.
class QVURLRedirectSniffer
{
public:
    QVURLRedirectSniffer(QVNetworkListener* networkListener, QVURLLoadHandler* owner);

    void followRedirect(const QString& url);

    QVURLLoadHandler* owner() const { return _owner; }
    // The last address asked for, for callers that check the hand-over.
    QString lastRequestedURL() const { return _lastRequestedURL; }

private:
    QVNetworkListener* _networkListener;
    QPointer<QVURLLoadHandler> _owner;
    QString _lastRequestedURL;
};
