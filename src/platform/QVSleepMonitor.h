#pragma once

#include <QObject>

// Tells when the machine is about to sleep. The listener does its work in
// the handler of systemWillSleep and then calls acknowledgeSleep(), which lets
// the sleep go ahead.
class QVSleepMonitor : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void acknowledgeSleep() = 0;

signals:
    // Always delivered on the main thread.
    void systemWillSleep();
};
