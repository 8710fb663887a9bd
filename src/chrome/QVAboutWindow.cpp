#include "QVAboutWindow.h"

#include "QVLocalizedString.h"
#include "QVNavigationController.h"
#include "QVPushButtonTextCell.h"
#include "QVTextPushButton.h"
#include "QVUIConstantsService.h"
#include "QVUtils.h"

#include <QApplication>
#include <QDate>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

QVAboutWindow::QVAboutWindow(QWidget* parent)
    : QVWindow(parent)
    , _versionTextField(new QLabel(contentView()))
    , _appNameTextField(new QLabel(contentView()))
    , _appCopyrightTextField(new QLabel(contentView()))
    , _appIconImageView(new QLabel(contentView()))
    , _serviceTermsButton(_makeLinkButton(QVLocalizedString("Terms of Service")))
    , _paymentTermsButton(_makeLinkButton(QVLocalizedString("Payment Terms")))
    , _privacyPolicyButton(_makeLinkButton(QVLocalizedString("Privacy Policy")))
{
    setWindowTitle(QVStringWithBundleName(QStringLiteral("About [product_name]")));
    awakeFromNib();
}

QVTextPushButton* QVAboutWindow::_makeLinkButton(const QString& title)
{
    auto* button = new QVTextPushButton(contentView());
    button->setTitle(title);
    button->setAccessibleName(title);
    button->setAccessibleDescription(QVLocalizedString("Opens in your web browser"));
    // Links are reached with Tab too; the other chrome buttons leave the
    // keyboard to the page.
    button->setFocusPolicy(Qt::TabFocus);
    _setLinkButtonAttributes(button);
    return button;
}

void QVAboutWindow::_setLinkButtonAttributes(QVTextPushButton* button)
{
    QVPushButtonTextCell* cell = button->textCell();
    if (!cell)
        return;
    cell->setFontName(QStringLiteral("Lucida Grande"));
    cell->setFontSize(9);
    cell->setShouldUseTextShadow(false);
    cell->setShouldUnderscoreText(true);
    cell->setTextColor(Qt::blue);
    cell->setInactiveTextColor(Qt::blue);
    // The button is as tall as its text: any offset above its top edge would
    // cut the tops of the letters off.
    cell->setCustomTextYOffset(0);
    cell->setCursor(QCursor(Qt::PointingHandCursor));
    button->updateGeometry();
}

QString QVAboutWindow::versionText()
{
    return QStringLiteral("%1 %2").arg(QVLocalizedString("Version"), QStringLiteral(QUIV_VERSION));
}

QString QVAboutWindow::copyrightText(int year)
{
    return QVStringWithBundleName(QVLocalizedString("Copyright © %1 [product_name]. All rights reserved."))
        .arg(year);
}

void QVAboutWindow::awakeFromNib()
{
    _versionTextField->setText(versionText());
    _appNameTextField->setText(QVStringWithBundleName(QStringLiteral("[product_name]")));
    _appCopyrightTextField->setText(copyrightText(QDate::currentDate().year()));
    _appCopyrightTextField->setWordWrap(true); // a long product name would run off the edge
    for (QLabel* label : { _versionTextField, _appNameTextField, _appCopyrightTextField }) {
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignHCenter);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    QFont nameFont = QVUIConstantsService::fontNamed(QStringLiteral("Lucida Grande Bold"), 16);
    _appNameTextField->setFont(nameFont);
    _appIconImageView->setPixmap(QApplication::windowIcon().pixmap(64, 64));
    _appIconImageView->setAlignment(Qt::AlignHCenter);
    _appIconImageView->setAccessibleName(QVStringWithBundleName(QStringLiteral("[product_name]")));

    connect(_serviceTermsButton, &QAbstractButton::clicked, this, [this] {
        if (_navigationController)
            _navigationController->goToTermsOfService();
    });
    connect(_paymentTermsButton, &QAbstractButton::clicked, this, [this] {
        if (_navigationController)
            _navigationController->goToPaymentTerms();
    });
    connect(_privacyPolicyButton, &QAbstractButton::clicked, this, [this] {
        if (_navigationController)
            _navigationController->goToPrivacyPolicy();
    });

    auto* links = new QHBoxLayout();
    links->addStretch(1);
    for (QVTextPushButton* button : { _serviceTermsButton, _paymentTermsButton, _privacyPolicyButton })
        links->addWidget(button);
    links->addStretch(1);

    auto* layout = new QVBoxLayout(contentView());
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(6);
    layout->addWidget(_appIconImageView);
    layout->addWidget(_appNameTextField);
    layout->addWidget(_versionTextField);
    layout->addStretch(1);
    layout->addLayout(links);
    layout->addWidget(_appCopyrightTextField);
    resize(360, 260);
}
