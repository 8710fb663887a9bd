#pragma once

#include <QElapsedTimer>
#include <QTest>

#include <functional>

// Runs the event loop until `condition` holds or `milliseconds` pass.
inline bool QVWaitUntil(const std::function<bool()>& condition, int milliseconds = 10000, int pollMilliseconds = 5)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QTest::qWait(pollMilliseconds);
    }
    return true;
}
