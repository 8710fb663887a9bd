#include "QVTrafficLightView.h"

#include "QVPushButton.h"
#include "QVUIConstantsService.h"
#include "QVWindow.h"

QVTrafficLightView::QVTrafficLightView(QWidget* parent)
    : QWidget(parent)
{
    resize(55, 20);
    _closeButton = _makeButton(QStringLiteral("close"), 0);
    _minButton = _makeButton(QStringLiteral("minimize"), 20);
    _zoomButton = _makeButton(QStringLiteral("zoom"), 40);
    _closeButton->setToolTip(tr("Close"));
    _minButton->setToolTip(tr("Minimize"));
    _zoomButton->setToolTip(tr("Zoom"));
    connect(_closeButton, &QAbstractButton::clicked, this, &QVTrafficLightView::onCloseButtonClicked);
    connect(_minButton, &QAbstractButton::clicked, this, &QVTrafficLightView::onMinimizeButtonClicked);
    connect(_zoomButton, &QAbstractButton::clicked, this, &QVTrafficLightView::onZoomButtonClicked);
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
    return QVUIConstantsService::sharedInstance()->isYosemite()
        ? QStringLiteral("window_control_inactive_yosemite")
        : QStringLiteral("window_control_inactive");
}

QVPushButton* QVTrafficLightView::_makeButton(const QString& kind, int x)
{
    auto* button = new QVPushButton(this);
    // 13 x 15, two points below the top of the 20-point row.
    button->setGeometry(x, 2, 13, 15);
    button->setActiveImage(buttonImageName(kind, QStringLiteral("active")),
        buttonImageName(kind, QStringLiteral("rollover")), QString(), inactiveButtonImageName(),
        buttonImageName(kind, QStringLiteral("rollover")), buttonImageName(kind, QStringLiteral("pressed")));
    button->setUsesInactiveTransparency(false);
    return button;
}

void QVTrafficLightView::onCloseButtonClicked()
{
    window()->close();
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
    if (auto* qvWindow = qobject_cast<QVWindow*>(window()))
        qvWindow->zoom();
    else
        window()->setWindowState(window()->windowState() ^ Qt::WindowMaximized);
}
