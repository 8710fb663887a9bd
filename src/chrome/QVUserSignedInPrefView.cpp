#include "QVUserSignedInPrefView.h"

#include "QVAbstractWebView.h"
#include "QVLocalizedString.h"
#include "QVTextValue.h"
#include "QVUtils.h"
#include "QVWebNavigationService.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include <cmath>

namespace {
// Page text shown in a label stays plain text, and short.
constexpr int kMaxNameLength = 200;
} // namespace

QVUserSignedInPrefView::QVUserSignedInPrefView(QWidget* parent, QVWebNavigationService* navigation)
    : QVPrefView(parent)
    , _navigation(navigation ? navigation : QVWebNavigationService::sharedInstance())
    , _accountNameTextField(new QLabel(this))
    , _subscriptionTypeTextField(new QLabel(this))
    , _subscriptionButton(new QPushButton(this))
{
    setFixedHeight(kHeight);
    auto* account = new QLabel(QVLocalizedString("Account:"), this);
    auto* plan = new QLabel(QVLocalizedString("Plan:"), this);
    for (QLabel* label : { _accountNameTextField, _subscriptionTypeTextField })
        label->setTextFormat(Qt::PlainText);
    account->setBuddy(_accountNameTextField);
    plan->setBuddy(_subscriptionTypeTextField);
    _accountNameTextField->setAccessibleName(QVLocalizedString("Account"));
    _subscriptionTypeTextField->setAccessibleName(QVLocalizedString("Plan"));
    _subscriptionButton->setText(QVStringWithBundleName(QVLocalizedString("Subscribe to [product_name]")));

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(20, 10, 20, 12);
    layout->addWidget(account, 0, 0, Qt::AlignRight);
    layout->addWidget(_accountNameTextField, 0, 1);
    layout->addWidget(plan, 1, 0, Qt::AlignRight);
    layout->addWidget(_subscriptionTypeTextField, 1, 1);
    layout->addWidget(_subscriptionButton, 2, 1, Qt::AlignLeft);
    layout->setColumnStretch(1, 1);

    connect(_subscriptionButton, &QPushButton::clicked, this,
        [this] { _navigation->goToSubscriptionSettings(); });
}

QVUserSignedInPrefView::Texts QVUserSignedInPrefView::textsFor(
    bool isSubscriber, int subscriptionType, const QDateTime& trialEnd, const QDateTime& now)
{
    const QString settings = QVLocalizedString("Subscription Settings...");
    const QString subscribe = QVStringWithBundleName(QVLocalizedString("Subscribe to [product_name]"));
    if (isSubscriber) {
        switch (subscriptionType) {
        case 2:
            return { QVStringWithBundleName(QVLocalizedString("[product_name] Unlimited")), settings };
        case 1:
            return { QVStringWithBundleName(QVLocalizedString("[product_name] Web")), settings };
        case 0:
            return { QVLocalizedString("No Subscription"), subscribe };
        default:
            return { QString(), subscribe };
        }
    }
    if (trialEnd.isValid() && trialEnd > now) {
        const int days = int(std::trunc(now.secsTo(trialEnd) / 86400.0 + 1));
        const QString unit = QVUtils::pluralize(days, QVLocalizedString("day"), QVLocalizedString("days"));
        return { QStringLiteral("Free trial period is ending in %1 %2").arg(days).arg(unit), subscribe };
    }
    return { QVLocalizedString("Your free trial has expired"), subscribe };
}

void QVUserSignedInPrefView::updateProperties()
{
    QVAbstractWebView* page = _navigation->webView();
    if (!page)
        return;
    // One round trip, so the four values belong to one moment; the same
    // expressions the navigation service reads one at a time.
    const QStringList values = page->evaluateBatch({ QStringLiteral("Q.currentUser.get('subscription') != null"),
        QStringLiteral("Q.currentUser.get('subscription_type')"), QStringLiteral("Q.currentUser.get('first_name')"),
        QStringLiteral("Q.currentUser.get('last_name')") });
    if (values.size() != 4)
        return; // no answer: keep what shows
    const Texts texts = textsFor(QVTextValue::boolValue(values[0]), QVTextValue::intValue(values[1]),
        _navigation->userSubscriptionTrialEndDate(), QDateTime::currentDateTimeUtc());
    _subscriptionTypeTextField->setText(texts.plan);
    _subscriptionButton->setText(texts.button);
    _subscriptionButton->setAccessibleName(texts.button);
    const QString name = QStringLiteral("%1 %2").arg(values[2], values[3]).trimmed();
    _accountNameTextField->setText(name.left(kMaxNameLength));
}
