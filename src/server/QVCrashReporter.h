#pragma once

// Sends crash logs written since the last submission to the service. The
// submission itself comes with the request pool.
class QVCrashReporter
{
public:
    static void findAndSubmitLogs();
};
