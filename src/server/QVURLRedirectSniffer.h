#pragma once

#include "QVURLLoadHandler.h"

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QNetworkAccessManager;
class QVNetworkListener;

// Follows a short link to learn where it leads and hands that address to its
// owner. Qt follows the redirects; at the first final answer the reply's
// address goes to the owner when it differs from the link, and the transfer
// ends before any body. A loop, a redirect away from http(s), an error or no
// answer within the limit hands over nothing. One sniff at a time: a new
// link replaces the one still running. Main thread only.
class QVURLRedirectSniffer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMs = 10000;
    static constexpr int kMaximumRedirects = 10;
    static constexpr int kMaximumURLLength = 8192;

    QVURLRedirectSniffer(
        QVNetworkListener* networkListener, QVURLLoadHandler* owner, int timeoutMs = kDefaultTimeoutMs);
    ~QVURLRedirectSniffer() override;

    void followRedirect(const QString& url);

    QVURLLoadHandler* owner() const { return _owner; }
    // The last address asked for, for callers that check the hand-over.
    QString lastRequestedURL() const { return _lastRequestedURL; }
    bool isSniffing() const { return _reply != nullptr; }

private:
    void _onMetaData();
    void _onFinished();
    void _end();

    QVNetworkListener* _networkListener;
    QPointer<QVURLLoadHandler> _owner;
    QString _lastRequestedURL;
    QString _currentURL;
    QNetworkAccessManager* _manager = nullptr; // made with the first sniff
    QPointer<QNetworkReply> _reply;
    QTimer _timeout;
};
