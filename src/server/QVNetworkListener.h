#pragma once

#include <QString>

class QVNetworkListenerDelegate;

// Watches whether the service host can be reached. Until the probe of the
// service host is built, the host always counts as reachable.
class QVNetworkListener
{
public:
    QVNetworkListener() = default;

    QVNetworkListenerDelegate* delegate() const { return _delegate; }
    void setDelegate(QVNetworkListenerDelegate* delegate) { _delegate = delegate; }
    QString hostName() const { return _hostName; }
    void setHostName(const QString& hostName) { _hostName = hostName; }

    void startListening() { ++_startCount; }
    void checkIsHostReachable() {}
    bool isHostReachable() const { return _isHostReachable; }

    int startCount() const { return _startCount; }

private:
    QVNetworkListenerDelegate* _delegate = nullptr;
    QString _hostName;
    bool _isHostReachable = true;
    int _startCount = 0;
};
