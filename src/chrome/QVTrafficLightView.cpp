#include "QVTrafficLightView.h"

#include "QVConstants.h"
#include "QVLocalizedString.h"
#include "QVNotificationCenter.h"
#include "QVPushButton.h"
#include "QVUIConstantsService.h"
#include "QVWindow.h"

QVTrafficLightView::QVTrafficLightView(QWidget* parent, QVNotificationCenter* center)
    : QWidget(parent)
    , _center(center ? center : QVNotificationCenter::defaultCenter())
{
    resize(55, 20);
    setFocusPolicy(Qt::NoFocus);
    setAccessibleName(QVLocalizedString("Window Buttons"));
    _closeButton = _makeButton(0);
    _minButton = _makeButton(20);
    _zoomButton = _makeButton(40);
    _closeButton->setAccessibleName(QVLocalizedString("Close"));
    _minButton->setAccessibleName(QVLocalizedString("Minimize"));
    connect(_closeButton, &QAbstractButton::clicked, this, &QVTrafficLightView::onCloseButtonClicked);
    connect(_minButton, &QAbstractButton::clicked, this, &QVTrafficLightView::onMinimizeButtonClicked);
    connect(_zoomButton, &QAbstractButton::clicked, this, &QVTrafficLightView::onZoomButtonClicked);
    _center->addObserver(this, QString::fromLatin1(QVWindowServiceWindowChangedNotification),
        [this](const QVNotification&) { _onWindowServiceWindowChanged(); });
    _updateButtonImages();
}

QVTrafficLightView::~QVTrafficLightView()
{
    _center->removeObserver(this);
}

QVPushButton* QVTrafficLightView::_makeButton(int x)
{
    auto* button = new QVPushButton(this);
    // 13 x 15, two points below the top of the 20-point row.
    button->setGeometry(x, 2, 13, 15);
    button->setUsesInactiveTransparency(false);
    button->setFocusPolicy(Qt::NoFocus);
    button->setPushButtonCellListener(this);
    return button;
}

bool QVTrafficLightView::_isFlat()
{
    return QVUIConstantsService::sharedInstance()->isYosemite();
}

QString QVTrafficLightView::buttonImageName(const QString& kind, const QString& state)
{
    const QVUIConstantsService* constants = QVUIConstantsService::sharedInstance();
    return QStringLiteral("window_control_%1_%2_%3%4")
        .arg(kind,
            constants->isUsingGraphiteSystemTint() ? QStringLiteral("graphite") : QStringLiteral("color"),
            constants->isYosemite() ? QStringLiteral("yosemite_") : QString(), state);
}

QString QVTrafficLightView::inactiveButtonImageName()
{
    return _isFlat() ? QStringLiteral("window_control_inactive_yosemite")
                     : QStringLiteral("window_control_inactive");
}

QString QVTrafficLightView::closeButtonImageName(const QString& state) const
{
    return buttonImageName(QStringLiteral("close"), state);
}

QString QVTrafficLightView::minimizeButtonImageName(const QString& state) const
{
    // Full screen cannot be minimised: the button stays grey.
    if (_isFlat() && _isFullscreen)
        return inactiveButtonImageName();
    return buttonImageName(QStringLiteral("minimize"), state);
}

QString QVTrafficLightView::zoomButtonImageName(const QString& state) const
{
    const bool zoom = !_isFlat() || (_isAltActive && !_isFullscreen) || _isMiniPlayer;
    return buttonImageName(zoom ? QStringLiteral("zoom") : QStringLiteral("fullscreen"), state);
}

void QVTrafficLightView::_updateButtonImages()
{
    const QString active = QStringLiteral("active");
    const QString rollover = QStringLiteral("rollover");
    const QString pressed = QStringLiteral("pressed");
    if (_isMouseOver) {
        // All three show their symbols together, in a background window too.
        _closeButton->setActiveImageByName(closeButtonImageName(rollover));
        _closeButton->setInactiveImageByName(closeButtonImageName(rollover));
        _minButton->setActiveImageByName(minimizeButtonImageName(rollover));
        _minButton->setInactiveImageByName(minimizeButtonImageName(rollover));
        _minButton->setHoverImageByName(minimizeButtonImageName(rollover));
        _zoomButton->setActiveImageByName(zoomButtonImageName(rollover));
        _zoomButton->setInactiveImageByName(zoomButtonImageName(rollover));
        _zoomButton->setHoverImageByName(zoomButtonImageName(rollover));
        _zoomButton->setPushImageByName(zoomButtonImageName(pressed));
    } else {
        const QString inactive = inactiveButtonImageName();
        _closeButton->setActiveImage(closeButtonImageName(active), closeButtonImageName(rollover), QString(),
            inactive, closeButtonImageName(rollover), closeButtonImageName(pressed));
        _minButton->setActiveImage(minimizeButtonImageName(active), minimizeButtonImageName(rollover),
            QString(), inactive, minimizeButtonImageName(rollover), minimizeButtonImageName(pressed));
        _zoomButton->setActiveImage(zoomButtonImageName(active), zoomButtonImageName(rollover), QString(),
            inactive, zoomButtonImageName(rollover), zoomButtonImageName(pressed));
    }
    // What the zoom button does now is its name.
    QString zoomName;
    if (_isMiniPlayer && _isFlat())
        zoomName = QVLocalizedString("Switch to Main Player");
    else if (!_isFlat() || _isAltActive)
        zoomName = QVLocalizedString("Maximize");
    else
        zoomName = _isFullscreen ? QVLocalizedString("Exit Full Screen") : QVLocalizedString("Full Screen");
    _zoomButton->setAccessibleName(zoomName);
    _zoomButton->setToolTip(zoomName);
    _closeButton->setToolTip(_closeButton->accessibleName());
    _minButton->setToolTip(_minButton->accessibleName());
}

void QVTrafficLightView::setAltState(bool active)
{
    if (_isAltActive == active)
        return;
    _isAltActive = active;
    _updateButtonImages();
}

void QVTrafficLightView::setFullscreen(bool fullscreen)
{
    if (_isFullscreen == fullscreen)
        return;
    _isFullscreen = fullscreen;
    _updateButtonImages();
}

void QVTrafficLightView::setIsMiniPlayer(bool miniPlayer)
{
    _isMiniPlayer = miniPlayer;
    _updateButtonImages();
}

void QVTrafficLightView::setVisible(bool visible)
{
    if (_isMouseOver) {
        _isMouseOver = false;
        _updateButtonImages();
    }
    QWidget::setVisible(visible);
}

void QVTrafficLightView::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    _isMouseOver = true;
    _updateButtonImages();
}

void QVTrafficLightView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    _isMouseOver = false;
    _updateButtonImages();
}

void QVTrafficLightView::onPushButtonCellMouseOver(QVPushButton*)
{
    _isMouseOver = true;
    _updateButtonImages();
}

void QVTrafficLightView::onPushButtonCellMouseOut(QVPushButton*)
{
    _updateButtonImages();
}

void QVTrafficLightView::_onWindowServiceWindowChanged()
{
    _isMouseOver = false;
    _updateButtonImages();
}

void QVTrafficLightView::onCloseButtonClicked()
{
    // Hidden, not closed: closing the main window would quit.
    window()->hide();
}

void QVTrafficLightView::onMinimizeButtonClicked()
{
    if (auto* qvWindow = qobject_cast<QVWindow*>(window()))
        qvWindow->miniaturize();
    else
        window()->showMinimized();
}

void QVTrafficLightView::onZoomButtonClicked()
{
    auto* qvWindow = qobject_cast<QVWindow*>(window());
    if (_isFlat()) {
        if (_isMiniPlayer)
            emit switchWindowModeRequested();
        else if (!_isAltActive && qvWindow)
            qvWindow->toggleFullScreen();
        else if (qvWindow)
            qvWindow->zoom();
        else
            window()->setWindowState(window()->windowState() ^ Qt::WindowMaximized);
        return;
    }
    if (qvWindow)
        qvWindow->zoom();
    else
        window()->setWindowState(window()->windowState() ^ Qt::WindowMaximized);
}
