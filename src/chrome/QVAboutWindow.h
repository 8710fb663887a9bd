#pragma once

#include "QVWindow.h"

#include "QVNavigationController.h"

#include <QPointer>

class QLabel;
class QVTextPushButton;

// The about window: the program's icon, name and version, links to the
// service's terms, payment terms and privacy policy, and a copyright line.
class QVAboutWindow : public QVWindow
{
    Q_OBJECT
public:
    explicit QVAboutWindow(QWidget* parent = nullptr);

    QLabel* versionTextField() const { return _versionTextField; }
    QLabel* appNameTextField() const { return _appNameTextField; }
    QLabel* appCopyrightTextField() const { return _appCopyrightTextField; }
    QLabel* appIconImageView() const { return _appIconImageView; }
    QVTextPushButton* serviceTermsButton() const { return _serviceTermsButton; }
    QVTextPushButton* paymentTermsButton() const { return _paymentTermsButton; }
    QVTextPushButton* privacyPolicyButton() const { return _privacyPolicyButton; }

    // Where the links lead; the links do nothing without one.
    void setNavigationController(QVNavigationController* controller) { _navigationController = controller; }

    // "Version 1.2.3" for the build's version.
    static QString versionText();
    // The copyright line for `year`.
    static QString copyrightText(int year);

private:
    void awakeFromNib();
    QVTextPushButton* _makeLinkButton(const QString& title);
    static void _setLinkButtonAttributes(QVTextPushButton* button);

    QLabel* _versionTextField;
    QLabel* _appNameTextField;
    QLabel* _appCopyrightTextField;
    QLabel* _appIconImageView;
    QVTextPushButton* _serviceTermsButton;
    QVTextPushButton* _paymentTermsButton;
    QVTextPushButton* _privacyPolicyButton;
    QPointer<QVNavigationController> _navigationController;
};
