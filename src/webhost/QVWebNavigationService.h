#pragma once

#include <QList>
#include <QMetaObject>
#include <QPointer>

#include <functional>

class QVWebNavigationListener;
class QVWebView;

// Owns the relation between the program and the hosted web application and
// relays page events to its listeners, in the order they were added.
// For now it relays load start and finish; the page bridges come next.
class QVWebNavigationService
{
public:
    QVWebNavigationService();
    ~QVWebNavigationService();

    static QVWebNavigationService* sharedInstance();

    void setWebView(QVWebView* webView);
    QVWebView* webView() const;

    // Adding twice lists a listener twice; removing takes every entry out.
    void addWebNavigationListener(QVWebNavigationListener* listener);
    void removeWebNavigationListener(QVWebNavigationListener* listener);

    bool isNetworkConnectionAvailable() const;

private:
    void _notifyListeners(const std::function<void(QVWebNavigationListener*)>& event);
    void _onLoadStarted();
    void _onLoadFinished();

    QPointer<QVWebView> _webView;
    QList<QVWebNavigationListener*> _navigationListeners;
    QList<QMetaObject::Connection> _connections;
};
