#pragma once

#include "QVPushButtonCellListener.h"
#include "QVWebNavigationListener.h"

#include <QColor>
#include <QWidget>

class QVTextPushButton;
class QVWebNavigationService;

// The signed-in account's plan status in a title bar: for a free account with
// a limited allowance, a small bar whose left part, proportional to what
// remains, is green, orange or red, with a text over it. Under the pointer it
// turns blue and reads "More Info"; a click opens the subscription settings.
// Hidden while nobody with such an account is signed in. Titles and sizes
// change on events only; painting just draws.
class QVSubscriptionButtonView : public QWidget,
                                 public QVPushButtonCellListener,
                                 public QVWebNavigationListener
{
    Q_OBJECT
public:
    static constexpr int kEndcapWidth = 10;
    static constexpr int kMinimumLeftWidth = 4;

    explicit QVSubscriptionButtonView(
        QWidget* parent = nullptr, QVWebNavigationService* navigation = nullptr);
    ~QVSubscriptionButtonView() override;

    QVTextPushButton* pushButton() const { return _pushButton; }
    bool isMouseOver() const { return _isMouseOver; }
    bool isMouseDown() const { return _isMouseDown; }

    // The account's facts; the navigation service's answers by default.
    virtual bool isUserFreeLimitedAccount() const;
    virtual int freeLimitedPercentRemaining() const;
    virtual bool hasBillingFailure() const;

    // The remaining allowance as drawn: within 0 to 100, and 1 shown as 5.
    int percentForDrawing() const;
    // Width of the coloured left part for a bar `barWidth` points wide.
    int leftWidth(int barWidth) const;

    void updateButtonTitle();
    QColor currentLeftColor() const;
    QColor currentRightColor() const;
    // 1 in the key or main window, 0.9 elsewhere.
    qreal colorAlphaLevel() const;

    QColor greenActiveColor() const { return _withAlpha(127, 191, 70); }
    QColor greenUsedColor() const { return _withAlpha(89, 133, 49); }
    QColor orangeActiveColor() const { return _withAlpha(255, 174, 0); }
    QColor orangeUsedColor() const { return _withAlpha(178, 121, 0); }
    QColor redActiveColor() const { return _withAlpha(220, 59, 52); }
    QColor redUsedColor() const { return _withAlpha(138, 40, 40); }
    QColor blueRolloverColor() const { return _withAlpha(57, 116, 197); }
    QColor bluePressedColor() const { return _withAlpha(40, 81, 138); }

    void onSubscriptionButtonClicked();

    // QVPushButtonCellListener
    void onPushButtonCellMouseOver(QVPushButton*) override;
    void onPushButtonCellMouseOut(QVPushButton*) override;
    void onPushButtonCellMouseDown(QVPushButton*) override;
    void onPushButtonCellMouseUp(QVPushButton*) override;

    // QVWebNavigationListener
    void onUserLoggedIn() override;
    void onUserLoggedOut() override;
    void onUserSubscriptionTypeChanged() override;
    void onUserFreeLimitedStatusUpdate() override;
    void onUserBillingFailure() override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QColor _withAlpha(int red, int green, int blue) const;
    QString _statusTitle() const;
    void _showIfLimited();
    void _refresh();

    QVWebNavigationService* _navigation;
    QVTextPushButton* _pushButton;
    bool _isMouseOver = false;
    bool _isMouseDown = false;
};
