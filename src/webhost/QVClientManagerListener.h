#pragma once

// What the client manager bridge passes on. Every event has an empty default.
class QVClientManagerListener
{
public:
    virtual ~QVClientManagerListener() = default;
    virtual void onUserIDChanged(int userID) { (void)userID; }
    virtual void showDownloadWindow() { }
    virtual void onUserSubscriptionChanged() { }
    virtual void showMatchCollectionWindow() { }
    virtual void onUserFreeLimitedStatusUpdate() { }
    virtual void onBillingFailure() { }
    virtual void onSecureDialogLoaded() { }
    virtual void onInitialize() { }
};
