#pragma once

#include <QObject>

// Where the reachability probe hears of network changes and reads the state
// of the network. The system's lives in QVSystemNetworkChangeSource; tests
// fire their own.
class QVNetworkChangeSource : public QObject
{
    Q_OBJECT
public:
    struct State {
        bool isIPv4Available = false; // a global IPv4 address on an up, non-loopback interface
        bool isIPv6Available = false; // likewise IPv6
        bool isDNSAvailable = false; // the resolver names a nameserver
    };

    using QObject::QObject;

    // Starts watching; false when there is nothing to watch with, and no
    // change will ever be reported.
    virtual bool start() = 0;
    virtual State state() const = 0;

signals:
    void changed();
};
