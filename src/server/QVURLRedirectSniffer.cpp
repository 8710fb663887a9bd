#include "QVURLRedirectSniffer.h"

#include "QVLog.h"
#include "QVUtils.h"

QVURLRedirectSniffer::QVURLRedirectSniffer(QVNetworkListener* networkListener, QVURLLoadHandler* owner)
    : _networkListener(networkListener)
    , _owner(owner)
{
}

void QVURLRedirectSniffer::followRedirect(const QString& url)
{
    _lastRequestedURL = url;
    QVLog("[WARNING] Short link not followed: %s", qPrintable(QVUtils::stringForLog(url, 200)));
}
