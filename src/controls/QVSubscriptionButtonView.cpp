#include "QVSubscriptionButtonView.h"

#include "QVLocalizedString.h"
#include "QVPushButtonTextCell.h"
#include "QVTextPushButton.h"
#include "QVUIConstantsService.h"
#include "QVWebNavigationService.h"
#include "QVWindowActivity.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

// The bar's images are compiled into this static library: register them by
// hand, once; the call must sit outside any namespace.
static void initSubscriptionImages()
{
    static const bool initialized = [] {
        Q_INIT_RESOURCE(QVSubscriptionImages);
        return true;
    }();
    (void)initialized;
}

QVSubscriptionButtonView::QVSubscriptionButtonView(QWidget* parent, QVWebNavigationService* navigation)
    : QWidget(parent)
    , _navigation(navigation ? navigation : QVWebNavigationService::sharedInstance())
    , _pushButton(new QVTextPushButton(this))
{
    initSubscriptionImages();
    _navigation->addWebNavigationListener(this);

    _pushButton->setGeometry(rect());
    _pushButton->setTitle(QString());
    _pushButton->setFontName(QStringLiteral("Helvetica Neue Bold"));
    _pushButton->setFontSize(10);
    _pushButton->setCustomTextYOffset(0);
    _pushButton->setTextColor(Qt::white);
    QColor inactive(221, 224, 229);
    inactive.setAlphaF(0.7f);
    _pushButton->setInactiveTextColor(inactive);
    QVShadow shadow = QVUIConstantsService::sharedInstance()->defaultTextShadowWithAlpha(0.15f);
    shadow.offset = QSizeF(0, 1);
    _pushButton->setTextShadowColor(shadow);
    _pushButton->setBackgroundImage(QStringLiteral("subscription-slice.png"),
        QStringLiteral("subscription-endcap.png"), QString(), QString(), QString(), QString(), QString(),
        QString(), QString(), QString());
    _pushButton->setUsesInactiveTransparency(false);
    _pushButton->setShouldResizeOnTitleChange(true);
    _pushButton->setShouldUseCustomEndcapSizeOffset(true);
    _pushButton->setCustomEndcapSizeOffset(kEndcapWidth);
    _pushButton->setPushButtonCellListener(this);
    _pushButton->setAccessibleDescription(
        QVLocalizedString("Your plan's status. Opens the subscription settings."));
    connect(
        _pushButton, &QAbstractButton::clicked, this, &QVSubscriptionButtonView::onSubscriptionButtonClicked);
    updateButtonTitle();
}

QVSubscriptionButtonView::~QVSubscriptionButtonView()
{
    _navigation->removeWebNavigationListener(this);
}

bool QVSubscriptionButtonView::isUserFreeLimitedAccount() const
{
    return _navigation->isUserFreeLimitedAccount();
}

int QVSubscriptionButtonView::freeLimitedPercentRemaining() const
{
    return _navigation->freeLimitedPercentRemaining();
}

bool QVSubscriptionButtonView::hasBillingFailure() const
{
    return _navigation->hasBillingFailure();
}

int QVSubscriptionButtonView::percentForDrawing() const
{
    // Outside 0 to 100 the bar would be drawn past its ends.
    const int percent = std::clamp(freeLimitedPercentRemaining(), 0, 100);
    return percent == 1 ? 5 : percent;
}

int QVSubscriptionButtonView::leftWidth(int barWidth) const
{
    const int percent = percentForDrawing();
    if (percent < 1 || barWidth <= 0)
        return 0;
    const int width = int(std::ceil(percent / 100.0 * barWidth));
    return std::min(std::max(width, kMinimumLeftWidth), barWidth);
}

qreal QVSubscriptionButtonView::colorAlphaLevel() const
{
    return QVWindowActivity::isKeyOrMainWindow(this) ? 1.0 : 0.9;
}

QColor QVSubscriptionButtonView::_withAlpha(int red, int green, int blue) const
{
    QColor colour(red, green, blue);
    colour.setAlphaF(float(colorAlphaLevel()));
    return colour;
}

QColor QVSubscriptionButtonView::currentLeftColor() const
{
    const int percent = std::clamp(freeLimitedPercentRemaining(), 0, 100);
    if (_isMouseOver)
        return _isMouseDown ? bluePressedColor() : blueRolloverColor();
    if (hasBillingFailure())
        return redUsedColor();
    if (percent <= 1)
        return redActiveColor();
    if (percent <= 20)
        return orangeActiveColor();
    return greenActiveColor();
}

QColor QVSubscriptionButtonView::currentRightColor() const
{
    const int percent = std::clamp(freeLimitedPercentRemaining(), 0, 100);
    if (_isMouseOver)
        return _isMouseDown ? bluePressedColor() : blueRolloverColor();
    if (hasBillingFailure() || percent <= 1)
        return redUsedColor();
    if (percent <= 20)
        return orangeUsedColor();
    return greenUsedColor();
}

QString QVSubscriptionButtonView::_statusTitle() const
{
    if (hasBillingFailure())
        return QVLocalizedString("Billing Error. Click Here to Resolve.");
    // A remainder below nothing reads as nothing left.
    return freeLimitedPercentRemaining() > 0 ? QVLocalizedString("Free Music")
                                             : QVLocalizedString("Previews Only");
}

void QVSubscriptionButtonView::updateButtonTitle()
{
    if (_isMouseOver) {
        // The bar keeps the width of the status it showed.
        _pushButton->setShouldResizeOnTitleChange(false);
        _pushButton->setTitle(QVLocalizedString("More Info"));
        _pushButton->setShouldResizeOnTitleChange(true);
    } else {
        _pushButton->setTitle(_statusTitle());
    }
    _pushButton->setAccessibleName(_pushButton->title());
}

void QVSubscriptionButtonView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The button keeps the right edge; its width follows its status text.
    int buttonWidth = width();
    if (!_isMouseOver && !_pushButton->title().isEmpty()) {
        const QVPushButtonTextCell* cell = _pushButton->textCell();
        if (cell)
            buttonWidth = std::min(width(), int(std::ceil(cell->sizeForTitle(_pushButton->title()).width())));
    } else if (_isMouseOver) {
        buttonWidth = std::min(width(), _pushButton->width());
    }
    _pushButton->setGeometry(width() - buttonWidth, 0, buttonWidth, height());
}

void QVSubscriptionButtonView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange)
        update();
}

void QVSubscriptionButtonView::paintEvent(QPaintEvent*)
{
    const QRect button = _pushButton->geometry();
    const int barHeight = height() - 1;
    if (button.width() <= 0 || barHeight <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A square top edge and rounded lower corners: the rounded rectangle's
    // top corners lie above the view.
    QPainterPath bar;
    bar.addRoundedRect(QRectF(button.x(), -8, button.width(), barHeight + 8), 4, 4);
    painter.setClipPath(bar);
    const int left = leftWidth(button.width());
    painter.fillRect(QRect(button.x(), 0, left, barHeight), currentLeftColor());
    painter.fillRect(QRect(button.x() + left, 0, button.width() - left, barHeight), currentRightColor());
}

void QVSubscriptionButtonView::onSubscriptionButtonClicked()
{
    _navigation->goToSubscriptionSettings();
}

void QVSubscriptionButtonView::_refresh()
{
    updateButtonTitle();
    update();
}

void QVSubscriptionButtonView::onPushButtonCellMouseOver(QVPushButton*)
{
    _isMouseOver = true;
    _refresh();
}

void QVSubscriptionButtonView::onPushButtonCellMouseOut(QVPushButton*)
{
    _isMouseOver = false;
    _refresh();
}

void QVSubscriptionButtonView::onPushButtonCellMouseDown(QVPushButton*)
{
    _isMouseDown = true;
    update();
}

void QVSubscriptionButtonView::onPushButtonCellMouseUp(QVPushButton*)
{
    _isMouseDown = false;
    update();
}

void QVSubscriptionButtonView::_showIfLimited()
{
    setVisible(isUserFreeLimitedAccount());
    _refresh();
}

void QVSubscriptionButtonView::onUserLoggedIn()
{
    _showIfLimited();
}

void QVSubscriptionButtonView::onUserLoggedOut()
{
    hide();
}

void QVSubscriptionButtonView::onUserSubscriptionTypeChanged()
{
    _showIfLimited();
}

void QVSubscriptionButtonView::onUserFreeLimitedStatusUpdate()
{
    _refresh();
}

void QVSubscriptionButtonView::onUserBillingFailure()
{
    _refresh();
}
