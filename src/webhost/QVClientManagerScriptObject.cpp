#include "QVClientManagerScriptObject.h"

#include "QVAbstractWebView.h"
#include "QVClientManagerListener.h"
#include "QVTextValue.h"
#include "QVUtils.h"

namespace {
const char kName[] = "ClientManagerScriptObject";
constexpr int kMaxNameLength = 256; // page text, kept to a sane size

// The snapshot's reads, the two guards first, in their order. Conditional
// fields are read together with their tests: a read of a missing member
// throws in the page and comes back empty, and is only used when its test
// said the member is there.
enum Read {
    HasClientManager,
    HasUser,
    UserID,
    HasSubscriptionType,
    SubscriptionType,
    IsSubscriber,
    FirstName,
    LastName,
    VanityName,
    HasFreeTrial,
    TrialEndDate,
    HasSubscriptionFailure,
    SubscriptionFailure,
    HasFreeLimited,
    IsFreeLimited,
    FreeLimitedRemaining,
    UsesQuiv2,
    ReadCount
};

const QStringList& snapshotReads()
{
    static const QStringList reads {
        QStringLiteral("typeof clientManager != 'undefined'"),
        QStringLiteral("clientManager.current_user != null"),
        QStringLiteral("clientManager.current_user.id"),
        QStringLiteral("('subscription_type' in clientManager.current_user)"),
        QStringLiteral("clientManager.current_user.subscription_type"),
        QStringLiteral("clientManager.current_user.subscription != null"),
        QStringLiteral("clientManager.current_user.firstName"),
        QStringLiteral("clientManager.current_user.lastName"),
        QStringLiteral("clientManager.current_user.vanity_name"),
        QStringLiteral("('free_trial' in clientManager.current_user)"),
        QStringLiteral("clientManager.current_user.free_trial.trial_end_date"),
        QStringLiteral("('has_subscription_failure' in clientManager.current_user)"),
        QStringLiteral("clientManager.current_user.has_subscription_failure"),
        QStringLiteral("('freeLimited' in clientManager.current_user)"),
        QStringLiteral("clientManager.current_user.freeLimited != null"),
        QStringLiteral("clientManager.current_user.freeLimited.remaining"),
        QStringLiteral("clientManager.current_user.features.quiv2"),
    };
    return reads;
}
} // namespace

QStringList QVClientManagerScriptObject::exportedMethods() const
{
    return { QStringLiteral("onCurrentUserIdChanged"), QStringLiteral("showDownloadWindow"),
        QStringLiteral("onSubscriptionChanged"), QStringLiteral("onMatchCollectionActivated"),
        QStringLiteral("onFreeLimitedNotification"), QStringLiteral("onBillingFailure"),
        QStringLiteral("onSecureDialogLoaded"), QStringLiteral("onInitialize") };
}

void QVClientManagerScriptObject::invokeScriptMethod(const QString& method, const QVariantList& arguments)
{
    if (method == u"onCurrentUserIdChanged") {
        if (!_hasArgumentCount(kName, method, arguments, 1))
            return;
        const std::optional<int> userID = _intArgument(arguments.first());
        if (!userID) {
            _logDropped(kName, method, "the user id is not a whole number");
            return;
        }
        onCurrentUserIdChanged(*userID);
        return;
    }
    // The page's notice object is not used.
    if (method == u"onFreeLimitedNotification") {
        if (arguments.size() <= 1)
            onFreeLimitedNotification();
        else
            _hasArgumentCount(kName, method, arguments, 1);
        return;
    }
    if (!_hasArgumentCount(kName, method, arguments, 0))
        return;
    if (method == u"showDownloadWindow")
        showDownloadWindow();
    else if (method == u"onSubscriptionChanged")
        onSubscriptionChanged();
    else if (method == u"onMatchCollectionActivated")
        matchCollectionActivated();
    else if (method == u"onBillingFailure")
        onBillingFailure();
    else if (method == u"onSecureDialogLoaded")
        onSecureDialogLoaded();
    else if (method == u"onInitialize")
        onInitialize();
}

void QVClientManagerScriptObject::onCurrentUserIdChanged(int userID)
{
    if (userID != _userID)
        _resetSnapshot();
    forceRefreshProperties();
    if (_listener)
        _listener->onUserIDChanged(userID);
}

void QVClientManagerScriptObject::showDownloadWindow()
{
    if (_listener)
        _listener->showDownloadWindow();
}

void QVClientManagerScriptObject::onSubscriptionChanged()
{
    forceRefreshProperties();
    if (_listener)
        _listener->onUserSubscriptionChanged();
}

void QVClientManagerScriptObject::matchCollectionActivated()
{
    if (_listener)
        _listener->showMatchCollectionWindow();
}

void QVClientManagerScriptObject::onFreeLimitedNotification()
{
    forceRefreshProperties();
    if (_listener)
        _listener->onUserFreeLimitedStatusUpdate();
}

void QVClientManagerScriptObject::onBillingFailure()
{
    if (_listener)
        _listener->onBillingFailure();
}

void QVClientManagerScriptObject::onSecureDialogLoaded()
{
    if (_listener)
        _listener->onSecureDialogLoaded();
}

void QVClientManagerScriptObject::onInitialize()
{
    if (_listener)
        _listener->onInitialize();
}

void QVClientManagerScriptObject::forceRefreshProperties()
{
    if (_refreshing) {
        _refreshStale = true;
        return;
    }
    _refreshing = true;
    bool answered = true;
    do {
        _refreshStale = false;
        answered = _refreshOnce();
    } while (_refreshStale && answered);
    _refreshing = false;
}

void QVClientManagerScriptObject::_resetSnapshot()
{
    _userID = 0;
    _subscriptionType = 0;
    _isSubscriber = false;
    _isFreeLimitedAccount = false;
    _hasBillingFailure = false;
    _isUsingQuiv2 = false;
    _freeLimitedPercentRemaining = 0;
    _realName.clear();
    _vanityName.clear();
    _trialEndDate = QDateTime();
}

bool QVClientManagerScriptObject::_refreshOnce()
{
    if (!_webView)
        return true;
    // One round trip: every field belongs to one moment.
    const QStringList v = _webView->evaluateBatch(snapshotReads());
    if (v.size() != ReadCount)
        return false;
    const auto flag = [&v](Read r) { return QVTextValue::boolValue(v[r]); };
    const auto number = [&v](Read r) { return QVTextValue::intValue(v[r]); };
    if (!flag(HasClientManager))
        return true;
    if (!flag(HasUser)) {
        _resetSnapshot(); // signed out
        return true;
    }
    if (number(UserID) != _userID)
        _resetSnapshot();

    _userID = number(UserID);
    if (flag(HasSubscriptionType))
        _subscriptionType = number(SubscriptionType);
    _isSubscriber = flag(IsSubscriber);
    _realName
        = QStringLiteral("%1 %2").arg(v[FirstName].left(kMaxNameLength), v[LastName].left(kMaxNameLength));
    _vanityName = v[VanityName].left(kMaxNameLength);
    if (flag(HasFreeTrial))
        _trialEndDate = QVUtils::dateWithISOString(v[TrialEndDate]);
    _hasBillingFailure = flag(HasSubscriptionFailure) && flag(SubscriptionFailure);
    if (flag(HasFreeLimited)) {
        _isFreeLimitedAccount = flag(IsFreeLimited);
        if (_isFreeLimitedAccount)
            _freeLimitedPercentRemaining = number(FreeLimitedRemaining);
    }
    _isUsingQuiv2 = flag(UsesQuiv2);
    return true;
}
