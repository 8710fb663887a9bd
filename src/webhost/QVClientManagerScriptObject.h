#pragma once

#include "QVScriptObject.h"

#include <QDateTime>
#include <QString>

class QVAbstractWebView;
class QVClientManagerListener;

// "ClientManagerScriptObject": the page's account layer reports user and
// subscription changes here; the object keeps a snapshot of the signed-in
// user's account read from the page's clientManager.
class QVClientManagerScriptObject : public QVScriptObject
{
public:
    QVClientManagerScriptObject() = default;

    QStringList exportedMethods() const override;
    void invokeScriptMethod(const QString& method, const QVariantList& arguments) override;

    // The exported calls.
    void onCurrentUserIdChanged(int userID);
    void showDownloadWindow();
    void onSubscriptionChanged();
    void matchCollectionActivated();
    void onFreeLimitedNotification();
    void onBillingFailure();
    void onSecureDialogLoaded();
    void onInitialize();

    // Rereads the snapshot from the page in one round trip. A page without a
    // user empties it; a page that does not answer, or has no account layer,
    // leaves it. Never re-entered: a request during a refresh makes one more
    // pass after it.
    void forceRefreshProperties();

    QVAbstractWebView* webView() const { return _webView; }
    void setWebView(QVAbstractWebView* webView) { _webView = webView; }
    QVClientManagerListener* listener() const { return _listener; }
    void setListener(QVClientManagerListener* listener) { _listener = listener; }

    int userID() const { return _userID; }
    void setUserID(int userID) { _userID = userID; }
    int subscriptionType() const { return _subscriptionType; }
    void setSubscriptionType(int type) { _subscriptionType = type; }
    bool isSubscriber() const { return _isSubscriber; }
    void setIsSubscriber(bool value) { _isSubscriber = value; }
    bool isFreeLimitedAccount() const { return _isFreeLimitedAccount; }
    void setIsFreeLimitedAccount(bool value) { _isFreeLimitedAccount = value; }
    bool hasBillingFailure() const { return _hasBillingFailure; }
    void setHasBillingFailure(bool value) { _hasBillingFailure = value; }
    bool isUsingQuiv2() const { return _isUsingQuiv2; }
    void setIsUsingQuiv2(bool value) { _isUsingQuiv2 = value; }
    int freeLimitedPercentRemaining() const { return _freeLimitedPercentRemaining; }
    void setFreeLimitedPercentRemaining(int value) { _freeLimitedPercentRemaining = value; }
    QString realName() const { return _realName; }
    void setRealName(const QString& value) { _realName = value; }
    QString vanityName() const { return _vanityName; }
    void setVanityName(const QString& value) { _vanityName = value; }
    QDateTime trialEndDate() const { return _trialEndDate; }
    void setTrialEndDate(const QDateTime& value) { _trialEndDate = value; }

private:
    bool _refreshOnce();
    // Nothing of one user may stay for the next.
    void _resetSnapshot();

    bool _refreshing = false;
    bool _refreshStale = false;
    int _userID = 0;
    int _subscriptionType = 0;
    bool _isSubscriber = false;
    bool _isFreeLimitedAccount = false;
    bool _hasBillingFailure = false;
    bool _isUsingQuiv2 = false;
    int _freeLimitedPercentRemaining = 0;
    QString _realName;
    QString _vanityName;
    QDateTime _trialEndDate;
    QVClientManagerListener* _listener = nullptr;
    QVAbstractWebView* _webView = nullptr;
};
