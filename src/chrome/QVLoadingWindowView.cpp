#include "QVLoadingWindowView.h"

#include "QVImage.h"
#include "QVLocalizedString.h"
#include "QVUIConstantsService.h"

#include <QFontMetrics>
#include <QPainter>
#include <QtMath>

// The chrome views' images are compiled into this static library: register
// them by hand, once; the call must sit outside any namespace.
void QVInitChromeViewImages()
{
    static const bool initialized = [] {
        Q_INIT_RESOURCE(QVChromeViewImages);
        return true;
    }();
    (void)initialized;
}

QVLoadingWindowView::QVLoadingWindowView(QWidget* parent)
    : QWidget(parent)
{
    QVInitChromeViewImages();
    setAttribute(Qt::WA_OpaquePaintEvent);
    _spinnerTimer.setInterval(kSpinnerInterval);
    connect(&_spinnerTimer, &QTimer::timeout, this, [this] {
        _spinnerStep = (_spinnerStep + 1) % kSpinnerSteps;
        update(spinnerRect());
    });
    setAccessibleName(QVLocalizedString("Loading"));
    setIsLoading(true);
}

void QVLoadingWindowView::setIsLoading(bool loading)
{
    _isLoading = loading;
    _updateSpinnerTimer();
    update();
}

void QVLoadingWindowView::setIsOffline(bool offline)
{
    _isOffline = offline;
    setAccessibleName(offline ? QVLocalizedString("No Connection") : QVLocalizedString("Loading"));
    setIsLoading(!offline);
}

void QVLoadingWindowView::fadeOut()
{
    setIsLoading(false);
    hide();
}

void QVLoadingWindowView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    _updateSpinnerTimer();
}

void QVLoadingWindowView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    _updateSpinnerTimer();
}

void QVLoadingWindowView::_updateSpinnerTimer()
{
    if (_isLoading && isVisible())
        _spinnerTimer.start();
    else
        _spinnerTimer.stop();
}

QRect QVLoadingWindowView::spinnerRect() const
{
    // Its lower edge half way down, plus a point and a half.
    const int bottom = height() - (height() + 3) / 2;
    return QRect((width() - kSpinnerSize) / 2, bottom - kSpinnerSize, kSpinnerSize, kSpinnerSize);
}

QFont QVLoadingWindowView::_titleFont() const
{
    return QVUIConstantsService::fontNamed(QStringLiteral("Lucida Grande Bold"), 14);
}

QFont QVLoadingWindowView::_descriptionFont() const
{
    return QVUIConstantsService::fontNamed(QStringLiteral("Lucida Grande"), 14);
}

int QVLoadingWindowView::_titleHeight() const
{
    return QFontMetrics(_titleFont()).height();
}

QRect QVLoadingWindowView::offlineTitleRect() const
{
    // The title's line sits just above the middle, the description below it.
    const int h = _titleHeight();
    return QRect(25, height() / 2 - 2 * h, qMax(0, width() - 50), h);
}

QRect QVLoadingWindowView::offlineDescriptionRect() const
{
    const int h = _titleHeight();
    return QRect(25, height() / 2 - h + 5, qMax(0, width() - 50), 3 * h);
}

void QVLoadingWindowView::_drawSpinner(QPainter* painter) const
{
    const QRectF box = spinnerRect();
    const QPointF centre = box.center();
    const qreal outer = box.width() / 2;
    const qreal inner = outer * 0.45;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < kSpinnerSteps; ++i) {
        // The leading spoke is darkest; the ones behind it fade.
        const int age = (_spinnerStep - i + kSpinnerSteps) % kSpinnerSteps;
        QColor colour(0x60, 0x60, 0x60);
        colour.setAlphaF(1.0 - 0.75 * age / (kSpinnerSteps - 1));
        const qreal angle = 2 * M_PI * i / kSpinnerSteps - M_PI / 2;
        const QPointF direction(qCos(angle), qSin(angle));
        painter->setPen(QPen(colour, 3, Qt::SolidLine, Qt::RoundCap));
        painter->drawLine(centre + direction * inner, centre + direction * (outer - 1.5));
    }
    painter->restore();
}

void QVLoadingWindowView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (_isOffline) {
        const QVImage background = QVImage::named(QStringLiteral("loading_window_bg"));
        if (!background.isNull())
            background.draw(&painter,
                QRectF(QPointF((width() - background.width()) / 2, (height() - background.height()) / 2),
                    background.size()));
        painter.setPen(offlineTextColor());
        painter.setFont(_titleFont());
        painter.drawText(offlineTitleRect(), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
            QVLocalizedString("No Connection"));
        painter.setFont(_descriptionFont());
        painter.drawText(offlineDescriptionRect(), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
            QVLocalizedString("Quiv can't load because you are not connected to the Internet."));
    } else if (_isLoading) {
        _drawSpinner(&painter);
    }
}
