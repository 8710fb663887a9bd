#include "QVFaceplateView.h"

#include "QVFaceplateController.h"
#include "QVFaceplateSliderButton.h"
#include "QVImage.h"
#include "QVInstantPushButtonCell.h"
#include "QVLocalizedString.h"
#include "QVMiniPlayerFaceplateController.h"
#include "QVNowPlayingView.h"
#include "QVPushButton.h"
#include "QVPushButtonTextCell.h"
#include "QVRadioStationPopupMenuButtton.h"
#include "QVTextPushButton.h"

#include <QLabel>
#include <QPainter>

namespace {
constexpr int kHeight = 60;
constexpr int kNowPlayingHeight = 50;

QVTextPushButton* textButton(QWidget* parent, Qt::Alignment alignment)
{
    auto* button = new QVTextPushButton(parent);
    if (QVPushButtonTextCell* cell = button->textCell()) {
        cell->setAlignment(alignment);
        // Centred in its own height rather than at a fixed offset.
        cell->setShouldUseCustomTextYOffset(false);
    }
    return button;
}
} // namespace

QVFaceplateView::QVFaceplateView(Kind kind, QWidget* parent, QVFaceplateController* controller,
    QVWebPlaybackService* playbackService, QVAlbumArtHandler* albumArtHandler)
    : QWidget(parent)
    , _previous(new QVPushButton(this))
    , _playPause(new QVPushButton(this))
    , _next(new QVPushButton(this))
    , _nowPlaying(new QVNowPlayingView(this, albumArtHandler))
    , _title(textButton(this, Qt::AlignLeft))
    , _artist(textButton(this, Qt::AlignLeft))
    , _elapsed(new QLabel(this))
    , _progress(new QVFaceplateSliderButton(this))
    , _length(textButton(this, Qt::AlignRight))
    , _volume(new QVPushButton(this))
    , _volumeSlider(new QVFaceplateSliderButton(this))
    , _shuffle(new QVPushButton(this))
    , _repeat(new QVPushButton(this))
    , _radio(new QVRadioStationPopupMenuButtton(this, playbackService))
    , _flyout(new QVPushButton(this))
    , _controller(controller)
{
    // Play and pause change look on a click: no stale hover image after it.
    _playPause->setCell(std::make_unique<QVInstantPushButtonCell>());
    _elapsed->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    _elapsed->setTextFormat(Qt::PlainText);

    if (!_controller) {
        QVFaceplateController::Services services;
        services.playbackService = playbackService;
        if (kind == Kind::MiniPlayer)
            _controller = new QVMiniPlayerFaceplateController(services, this);
        else
            _controller = new QVFaceplateController(services, this);
    } else {
        _controller->setParent(this);
    }
    _controller->setPreviousButton(_previous);
    _controller->setPlayPauseButton(_playPause);
    _controller->setNextButton(_next);
    _controller->setVolumeButton(_volume);
    _controller->setFlyoutButton(_flyout);
    _controller->setShuffleButton(_shuffle);
    _controller->setRepeatButton(_repeat);
    _controller->setTrackTitleButton(_title);
    _controller->setTrackArtistButton(_artist);
    _controller->setTrackElapsedField(_elapsed);
    _controller->setTrackLengthButton(_length);
    _controller->setNowPlayingView(_nowPlaying);
    _controller->setVolumeSlider(_volumeSlider);
    _controller->setTrackProgressSlider(_progress);
    _controller->setRadioButton(_radio);

    connect(_title, &QAbstractButton::clicked, this, &QVFaceplateView::trackTitleClicked);
    connect(_artist, &QAbstractButton::clicked, this, &QVFaceplateView::trackArtistClicked);
    connect(_nowPlaying, &QVNowPlayingView::clicked, this, &QVFaceplateView::albumArtClicked);
    connect(_flyout, &QAbstractButton::clicked, this, &QVFaceplateView::flyoutClicked);

    _controller->awakeFromNib();
    setAccessibleName(QVLocalizedString("Player Controls"));
    resize(sizeHint());
    _layout();
}

QVFaceplateView::~QVFaceplateView()
{
    // The controller stops listening before the controls it points at go.
    delete _controller;
}

QSize QVFaceplateView::sizeHint() const
{
    return QSize(640, kHeight);
}

void QVFaceplateView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    _layout();
}

void QVFaceplateView::_layout()
{
    const int h = height();
    const auto centred
        = [h](QWidget* widget, int x, int w, int wh) { widget->setGeometry(x, (h - wh) / 2, w, wh); };
    centred(_previous, 12, 28, 28);
    centred(_playPause, 44, 36, 36);
    centred(_next, 84, 28, 28);

    // The now-playing strip takes what the fixed controls leave.
    const int right = 212;
    const int stripX = 124;
    const int stripW = std::max(120, width() - stripX - right);
    const int stripY = (h - kNowPlayingHeight) / 2;
    _nowPlaying->setGeometry(stripX, stripY, stripW, kNowPlayingHeight);
    const int textX = stripX + 54;
    const int textW = std::max(0, stripW - 54 - 8);
    _title->setGeometry(textX, stripY + 4, textW, 15);
    _artist->setGeometry(textX, stripY + 18, textW, 14);
    _elapsed->setGeometry(textX, stripY + 33, 34, 12);
    _progress->setGeometry(textX + 38, stripY + 34, std::max(0, textW - 38 - 40), 10);
    _length->setGeometry(textX + textW - 36, stripY + 33, 36, 12);

    int x = stripX + stripW + 12;
    centred(_volume, x, 22, 22);
    centred(_volumeSlider, x + 24, 64, 10);
    x += 24 + 64 + 10;
    centred(_shuffle, x, 26, 22);
    centred(_repeat, x + 28, 26, 22);
    centred(_radio, x, 54, 22);
    centred(_flyout, x + 62, 28, 22);
}

void QVFaceplateView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QVImage::named(QStringLiteral("player_bg")).draw(&painter, QRectF(rect()));
}
