#pragma once

// Told about changes of the service host's reachability.
class QVNetworkListenerDelegate
{
public:
    virtual ~QVNetworkListenerDelegate() = default;
    virtual void onHostnameReachable() = 0;
    virtual void onHostnameNotReachable() = 0;
};
