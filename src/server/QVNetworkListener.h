#pragma once

#include "QVNetworkChangeSource.h"

#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

class QNetworkAccessManager;
class QVNetworkListenerDelegate;

// Watches whether the service host can be reached. Network changes start a
// probe of the host (a tiny image); the probe's outcome, not the network's
// configuration, decides. While the host cannot be reached the probe repeats
// on one timer; without a change source it also repeats, slower, while the
// host can be reached. The delegate hears only of changes, through the event
// queue (it reads the page). Main thread only.
class QVNetworkListener : public QObject
{
    Q_OBJECT
public:
    struct Intervals {
        int retryMs = 5000; // while unreachable
        int pollMs = 60000; // while reachable, when no change source works
        int probeTimeoutMs = 10000; // a probe still unanswered then has failed
    };

    // The system's change source and the usual intervals.
    QVNetworkListener();
    // `source` null: the system's.
    QVNetworkListener(std::unique_ptr<QVNetworkChangeSource> source, Intervals intervals);
    ~QVNetworkListener() override;

    QVNetworkListenerDelegate* delegate() const { return _delegate; }
    void setDelegate(QVNetworkListenerDelegate* delegate) { _delegate = delegate; }
    // The service's base URL the probe asks. A change while listening probes
    // the new host at once.
    QString hostName() const { return _hostName; }
    void setHostName(const QString& hostName);

    // Starts watching and probes once; later calls only count.
    void startListening();
    // Probes unless a probe is in flight or, while unreachable, the next one
    // is already due within the retry interval.
    void checkIsHostReachable();
    bool isHostReachable() const { return _isHostReachable; }

    bool isIPv4Available() const { return _state.isIPv4Available; }
    bool isIPv6Available() const { return _state.isIPv6Available; }
    bool isDNSAvailable() const { return _state.isDNSAvailable; }
    bool isRunningReachabilityCheck() const { return _reply != nullptr; }
    bool hasChangeSource() const { return _hasChangeSource; }

    int startCount() const { return _startCount; }
    // Probes started so far, for tests and benchmarks.
    int probeCount() const { return _probeCount; }
    // Whether a timer will wake the listener (retry, poll or probe limit).
    bool hasActiveTimer() const
    {
        return _retryTimer.isActive() || _pollTimer.isActive() || _probeTimer.isActive();
    }

private:
    void _handleNetworkPropertyChanged();
    void _attemptHostReachableCheck();
    void _probeEnded(bool reachable);
    void _abortProbe();
    void _scheduleNextProbe();
    QString _probeURL() const;

    std::unique_ptr<QVNetworkChangeSource> _source;
    const Intervals _intervals;
    QVNetworkListenerDelegate* _delegate = nullptr;
    QString _hostName;
    QVNetworkChangeSource::State _state;
    bool _isHostReachable = true;
    bool _isListening = false;
    bool _hasChangeSource = false;
    int _startCount = 0;
    int _probeCount = 0;
    QNetworkAccessManager* _manager = nullptr; // made with the first probe
    QPointer<QNetworkReply> _reply;
    QTimer _retryTimer;
    QTimer _pollTimer;
    QTimer _probeTimer;
};
