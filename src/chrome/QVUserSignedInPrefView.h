#pragma once

#include "QVPrefView.h"

#include <QDateTime>

class QLabel;
class QPushButton;
class QVWebNavigationService;

// The preferences' account pane while someone is signed in: the user's name,
// the plan and a button to the subscription settings.
class QVUserSignedInPrefView : public QVPrefView
{
    Q_OBJECT
public:
    static constexpr int kHeight = 90;

    explicit QVUserSignedInPrefView(QWidget* parent = nullptr, QVWebNavigationService* navigation = nullptr);

    QLabel* accountNameTextField() const { return _accountNameTextField; }
    QLabel* subscriptionTypeTextField() const { return _subscriptionTypeTextField; }
    QPushButton* subscriptionButton() const { return _subscriptionButton; }

    // Reads the account from the page in one batch and fills the three
    // controls; a page that does not answer leaves them as they are.
    void updateProperties();

    // The plan text and button title for an account; `now` for tests.
    struct Texts {
        QString plan;
        QString button;
    };
    static Texts textsFor(
        bool isSubscriber, int subscriptionType, const QDateTime& trialEnd, const QDateTime& now);

private:
    QVWebNavigationService* _navigation;
    QLabel* _accountNameTextField;
    QLabel* _subscriptionTypeTextField;
    QPushButton* _subscriptionButton;
};
