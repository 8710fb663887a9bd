#include "QVSearchField.h"

#include "QVAbstractWebView.h"
#include "QVAlbumArtHandler.h"
#include "QVConstants.h"
#include "QVEventQueue.h"
#include "QVLocalizedString.h"
#include "QVLog.h"
#include "QVNotificationCenter.h"
#include "QVPageCommands.h"
#include "QVSearchCategoryCell.h"
#include "QVSearchCell.h"
#include "QVSearchTableView.h"
#include "QVSearchWindow.h"
#include "QVUtils.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QKeyEvent>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPainter>
#include <QUrl>
#include <QWindow>

namespace {

// The list as the table sees it: a row per suggestion, the heading in column 0.
class SuggestionModel : public QAbstractTableModel
{
public:
    SuggestionModel(const std::vector<std::unique_ptr<QVSearchSuggestion>>* suggestions, QObject* parent)
        : QAbstractTableModel(parent)
        , _suggestions(suggestions)
    {
    }
    int rowCount(const QModelIndex& parent) const override
    {
        return parent.isValid() ? 0 : int(_suggestions->size());
    }
    int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 2; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role != Qt::DisplayRole || index.column() != 0 || index.row() >= int(_suggestions->size()))
            return {};
        return _suggestions->at(size_t(index.row()))->category();
    }
    void reset(const std::function<void()>& change)
    {
        beginResetModel();
        change();
        endResetModel();
    }

private:
    const std::vector<std::unique_ptr<QVSearchSuggestion>>* _suggestions;
};

} // namespace

QVSearchField::QVSearchField(QWidget* parent)
    : QVSearchField(parent, Services())
{
}

QVSearchField::QVSearchField(QWidget* parent, const Services& services)
    : QLineEdit(parent)
    , _services(services)
    , _center(
          services.notificationCenter ? services.notificationCenter : QVNotificationCenter::defaultCenter())
    , _network(new QNetworkAccessManager(this))
{
    setFixedSize(kWidth, kHeight);
    setFrame(false);
    setTextMargins(18, 1, 8, 0);
    setPlaceholderText(QVLocalizedString("Search"));
    setAttribute(Qt::WA_MacShowFocusRect, false);
    QPalette look = palette();
    look.setColor(QPalette::Base, Qt::transparent);
    setPalette(look);
    setMaxLength(QVServiceHTTPInterface::maximumQueryLength * 4);

    _typingTimer.setSingleShot(true);
    _typingTimer.setInterval(kTypingPauseMs);
    connect(&_typingTimer, &QTimer::timeout, this, [this] { _doSearch(this); });
    connect(this, &QLineEdit::textEdited, this, [this] {
        _searchType = 1;
        _typingTimer.start();
    });
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* focused) {
        if (focused && window()->windowHandle() != focused)
            hideSearchWindow();
    });
    _center->addObserver(this, QString::fromLatin1(QVSuggestionAlbumArtReadyNotification),
        [this](const QVNotification&) { _onSuggestionAlbumArtReady(); });
}

QVSearchField::~QVSearchField()
{
    _center->removeObserver(this);
    _stopSearchRequest();
    // Art still on its way for the list is withdrawn (no list, no handler to ask).
    QVAlbumArtHandler* handler = _suggestions.empty() ? nullptr : _albumArtHandler();
    for (const auto& suggestion : _suggestions)
        if (handler)
            handler->cancelAlbumArtRequests(suggestion.get());
    // The window belongs to the player window; its cells call back into us.
    delete _searchWindow.data();
}

QVAlbumArtHandler* QVSearchField::_albumArtHandler() const
{
    return _services.albumArtHandler ? _services.albumArtHandler
                                     : QVWebPlaybackService::sharedInstance()->albumArtHandler();
}

QVWebPlaybackService::CollectionMembership QVSearchField::_readCollection(
    const QList<unsigned int>& trackIDs, const QList<unsigned int>& albumIDs) const
{
    if (_services.collectionReader)
        return _services.collectionReader(trackIDs, albumIDs);
    return QVWebPlaybackService::sharedInstance()->areInUsersCollection(trackIDs, albumIDs);
}

QVSearchTableView* QVSearchField::searchTableView() const
{
    return _searchWindow ? _searchWindow->tableView() : nullptr;
}

bool QVSearchField::isSearchWindowVisible() const
{
    return _searchWindow && _searchWindow->isVisible();
}

void QVSearchField::hideSearchWindow()
{
    if (_searchWindow)
        _searchWindow->hide();
}

// The list ----------------------------------------------------------------------

std::vector<std::unique_ptr<QVSearchSuggestion>> QVSearchField::buildSuggestions(
    const QVServiceHTTPInterface::SearchSuggestions& answer, QVNotificationCenter* center)
{
    std::vector<std::unique_ptr<QVSearchSuggestion>> list;
    auto showAll = std::make_unique<QVSearchSuggestion>(center);
    showAll->setTitle(QVLocalizedString("Show all results..."));
    showAll->setTopPadding(4);
    showAll->setBottomPadding(5);
    list.push_back(std::move(showAll));
    if (answer.top) {
        auto top = std::make_unique<QVSearchSuggestion>(*answer.top, center);
        top->setCategory(QVLocalizedString("Top Hit"));
        top->setTopPadding(5);
        top->setBottomPadding(5);
        list.push_back(std::move(top));
    }
    QVSearchSuggestion* previous = nullptr;
    for (const QString& key : QVServiceHTTPInterface::suggestionGroupKeys) {
        const auto group = answer.groups.constFind(key);
        if (group == answer.groups.cend())
            continue;
        for (const QVariantMap& item : *group) {
            if (list.size() >= size_t(kMaximumRows))
                break;
            auto record = std::make_unique<QVSearchSuggestion>(item, center);
            if (!previous || previous->type() != record->type()) {
                if (previous)
                    previous->setBottomPadding(5);
                record->setCategory(QVSearchSuggestion::categoryForType(record->type()));
                record->setTopPadding(5);
            }
            previous = record.get();
            list.push_back(std::move(record));
        }
    }
    if (previous)
        previous->setBottomPadding(5);
    return list;
}

int QVSearchField::rowHeightForSuggestion(const QVSearchSuggestion& suggestion)
{
    return (suggestion.subTitle().isEmpty() ? 20 : 33) + int(suggestion.topPadding())
        + int(suggestion.bottomPadding());
}

QImage QVSearchField::leftImageForSuggestion(const QVSearchSuggestion& suggestion, bool selected)
{
    if (suggestion.type() == QVSearchSuggestion::TypeAlbum && !suggestion.albumArtImage().isNull())
        return suggestion.albumArtImage();
    return QVSearchCell::imageNamed(QStringLiteral("search_icon_%1%2")
                                        .arg(QVSearchSuggestion::iconWordForType(suggestion.type()),
                                            selected ? QStringLiteral("_hover") : QString()));
}

QImage QVSearchField::rightImageForSuggestion(const QVSearchSuggestion& suggestion, bool selected)
{
    if (!suggestion.indicated())
        return {};
    QString word;
    if (suggestion.type() == QVSearchSuggestion::TypeSong)
        word = QStringLiteral("check");
    else if (suggestion.type() == QVSearchSuggestion::TypePerson)
        word = QStringLiteral("following");
    else
        return {};
    return QVSearchCell::imageNamed(
        QStringLiteral("search_icon_%1%2").arg(word, selected ? QStringLiteral("_hover") : QString()));
}

QString QVSearchField::searchPathForText(const QString& text)
{
    const QString query = QVUtils::stringWithSpacedOutNewlineCharacters(text).left(
        QVServiceHTTPInterface::maximumQueryLength);
    // One path segment: "/" and "?" are part of the query.
    return QStringLiteral("/search/%1/").arg(QString::fromLatin1(QUrl::toPercentEncoding(query)));
}

// The request --------------------------------------------------------------------

void QVSearchField::_startSearchRequest(const QString& query)
{
    if (query.size() < kMinimumQueryLength)
        return;
    if (QVSearchTableView* table = searchTableView()) {
        table->clearSelection();
        table->setMouseOverRow(-1);
    }
    _stopSearchRequest();
    _connectionData.clear();
    const QVServiceHTTPInterface interface = _services.baseURL.isEmpty()
        ? QVServiceHTTPInterface()
        : QVServiceHTTPInterface(_services.baseURL);
    QNetworkRequest request { QUrl(interface.groupedSearchSuggestionsURL(query)) };
    request.setTransferTimeout(kRequestTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* reply = _network->get(request);
    _connection = reply;
    ++_generation;
    _isRequestPending = true;
    ++_statistics.requestsStarted;
    connect(reply, &QNetworkReply::readyRead, this, [this, reply] {
        if (reply != _connection)
            return;
        _connectionData += reply->readAll();
        if (_connectionData.size() > QVServiceHTTPInterface::maximumAnswerLength) {
            QVLog("[WARNING] Search suggestions answer refused: over %lld bytes",
                qlonglong(QVServiceHTTPInterface::maximumAnswerLength));
            _stopSearchRequest();
        }
    });
    connect(reply, &QNetworkReply::finished, this, [this, reply] { _replyFinished(reply); });
}

void QVSearchField::_stopSearchRequest()
{
    if (!_isRequestPending)
        return;
    _isRequestPending = false;
    ++_generation; // an answer already queued is stale now
    _connectionData.clear();
    if (QNetworkReply* reply = _connection.data()) {
        _connection = nullptr;
        // An aborted reply still finishes; it is no longer ours to read.
        ++_statistics.requestsAborted;
        reply->abort();
        reply->deleteLater();
    }
}

void QVSearchField::_replyFinished(QNetworkReply* reply)
{
    if (reply != _connection) {
        reply->deleteLater();
        return;
    }
    _connection = nullptr;
    reply->deleteLater();
    _isRequestPending = false;
    if (reply->error() != QNetworkReply::NoError) {
        // The old list stays as it was.
        QVLog("[WARNING] Search suggestions request failed: %s", qPrintable(reply->errorString()));
        _connectionData.clear();
        return;
    }
    QByteArray body = _connectionData + reply->readAll();
    _connectionData.clear();
    if (body.size() > QVServiceHTTPInterface::maximumAnswerLength) {
        QVLog("[WARNING] Search suggestions answer refused: over %lld bytes",
            qlonglong(QVServiceHTTPInterface::maximumAnswerLength));
        return;
    }
    // The list reads the page: never inside another read's wait.
    const quint64 generation = _generation;
    QVEventQueue::sharedInstance()->post(this, [this, generation, body = std::move(body)] {
        if (generation == _generation)
            _connectionDidFinishLoading(body);
    });
}

void QVSearchField::_connectionDidFinishLoading(const QByteArray& body)
{
    ++_statistics.answersRead;
    auto list = buildSuggestions(QVServiceHTTPInterface::parseSearchSuggestions(body), _center);

    // Every song's and album's mark in one round trip.
    QList<unsigned int> trackIDs;
    QList<unsigned int> albumIDs;
    QList<QVSearchSuggestion*> tracks;
    QList<QVSearchSuggestion*> albums;
    for (const auto& suggestion : list) {
        if (suggestion->type() == QVSearchSuggestion::TypeSong) {
            trackIDs.append(suggestion->typeId());
            tracks.append(suggestion.get());
        } else if (suggestion->type() == QVSearchSuggestion::TypeAlbum) {
            albumIDs.append(suggestion->typeId());
            albums.append(suggestion.get());
        }
    }
    if (!tracks.isEmpty() || !albums.isEmpty()) {
        const auto membership = _readCollection(trackIDs, albumIDs);
        for (qsizetype i = 0; i < tracks.size() && i < membership.tracks.size(); ++i)
            tracks[i]->setIndicated(membership.tracks.at(i));
        for (qsizetype i = 0; i < albums.size() && i < membership.albums.size(); ++i)
            albums[i]->setIndicated(membership.albums.at(i));
    }

    // Art still waiting for the old list is withdrawn; the new list's is asked for.
    QVAlbumArtHandler* handler = _albumArtHandler();
    if (handler) {
        for (const auto& suggestion : _suggestions)
            handler->cancelAlbumArtRequests(suggestion.get());
        for (QVSearchSuggestion* album : albums)
            if (!album->baseIcon().isEmpty())
                handler->requestAlbumArt(album->baseIcon(), album);
    }

    if (!_searchWindow)
        _createSearchWindow();
    static_cast<SuggestionModel*>(_model)->reset([&] { _suggestions = std::move(list); });
    _reloadTable();
    QVSearchTableView* table = searchTableView();
    table->setMouseOverRow(-1);
    _showSearchWindow();
    ++_statistics.listsShown;
    emit suggestionsShown();
}

void QVSearchField::_createSearchWindow()
{
    _searchWindow = new QVSearchWindow(window());
    QVSearchTableView* table = _searchWindow->tableView();
    _model = new SuggestionModel(&_suggestions, _searchWindow);
    table->setModel(_model);
    _categoryCell = new QVSearchCategoryCell(table);
    _cell = new QVSearchCell(table);
    table->setItemDelegateForColumn(0, _categoryCell);
    table->setItemDelegateForColumn(1, _cell);
    table->setColumnWidth(0, QVSearchTableView::kCategoryColumnWidth);
    _cell->setWillDisplayCell([this](QVSearchCell* cell, int row, bool selected) {
        if (row < 0 || row >= int(_suggestions.size()))
            return;
        const QVSearchSuggestion& suggestion = *_suggestions.at(size_t(row));
        cell->setLeftImage(leftImageForSuggestion(suggestion, selected));
        cell->setRightImage(rightImageForSuggestion(suggestion, selected));
        cell->setTitle(suggestion.title());
        cell->setSubTitle(suggestion.subTitle());
        cell->setTopPadding(suggestion.topPadding());
        cell->setBottomPadding(suggestion.bottomPadding());
    });
    connect(table, &QVSearchTableView::rowClicked, this, [this, table] { _doSearch(table); });
}

void QVSearchField::_reloadTable()
{
    QVSearchTableView* table = searchTableView();
    if (!table)
        return;
    ++_statistics.tableReloads;
    for (int row = 0; row < int(_suggestions.size()); ++row)
        table->setRowHeight(row, rowHeightForSuggestion(*_suggestions.at(size_t(row))));
    table->viewport()->update();
}

void QVSearchField::_onSuggestionAlbumArtReady()
{
    // Many pictures may arrive in one turn of the loop: one reload for them all.
    if (_isReloadScheduled)
        return;
    _isReloadScheduled = true;
    QTimer::singleShot(0, this, [this] {
        _isReloadScheduled = false;
        if (isSearchWindowVisible())
            _reloadTable();
    });
}

void QVSearchField::_showSearchWindow()
{
    if (!_searchWindow)
        return;
    QWidget* top = window();
    const QRect field(mapTo(top, QPoint(0, 0)), size());
    const QRect frame = QVSearchWindow::listFrame(field, searchTableView()->contentHeight(),
        top->isFullScreen(), top->rect().adjusted(0, 0, 0, -QVSearchWindow::kShadowMargin));
    _searchWindow->showWithListFrame(frame);
}

// Choosing ----------------------------------------------------------------------

void QVSearchField::_doSearch(QObject* sender, bool keyDown)
{
    _stopSearchRequest();
    if (sender == this && _searchType == 1) {
        if (text().size() > 1)
            _startSearchRequest(text());
        else
            hideSearchWindow();
        return;
    }
    QString destination;
    if (isSearchWindowVisible() && (sender == searchTableView() || keyDown)) {
        const int row = searchTableView()->selectedRow();
        if (row >= 0 && row < int(_suggestions.size()))
            destination = _suggestions.at(size_t(row))->path();
    }
    if (destination.isEmpty()) {
        if (text().trimmed().isEmpty())
            return; // nothing to search for
        destination = searchPathForText(text());
    }
    QVRouterNavigate(_webView, destination);
    hideSearchWindow();
}

// Keys and focus ------------------------------------------------------------------

void QVSearchField::_step(int delta)
{
    if (!_searchWindow)
        return;
    if (!_searchWindow->isVisible()) {
        _showSearchWindow();
        return;
    }
    QVSearchTableView* table = searchTableView();
    const int row = table->selectedRow() + delta;
    if (row < 0 || row >= int(_suggestions.size()))
        return;
    table->selectRowAlone(row);
    table->setMouseOverRow(row);
    table->scrollTo(_model->index(row, 1));
}

bool QVSearchField::event(QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        // Before focus handling: Tab moves through the list, never out of the field.
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            _step(key->key() == Qt::Key_Tab ? 1 : -1);
            return true;
        }
    }
    if (event->type() == QEvent::WindowDeactivate)
        hideSearchWindow();
    return QLineEdit::event(event);
}

void QVSearchField::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        _step(-1);
        return;
    case Qt::Key_Down:
        _step(1);
        return;
    case Qt::Key_Escape:
        _typingTimer.stop();
        _stopSearchRequest();
        clear();
        hideSearchWindow();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        _typingTimer.stop();
        _searchType = 0;
        _doSearch(this, true);
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

void QVSearchField::focusInEvent(QFocusEvent* event)
{
    _center->postNotificationName(QString::fromLatin1(QVTextFieldDidBecomeFirstResponderNotification), this);
    QLineEdit::focusInEvent(event);
}

void QVSearchField::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    _typingTimer.stop();
    _stopSearchRequest();
    _searchType = 0;
    hideSearchWindow();
}

void QVSearchField::paintEvent(QPaintEvent* event)
{
    {
        QPainter painter(this);
        _fieldCell.drawWithFrame(&painter, QRectF(rect()));
        // The magnifier inside the pill's left end.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(5, (height() - 12) / 2.0, 12, 12),
            QVSearchCell::imageNamed(QStringLiteral("search_icon_search")));
    }
    QLineEdit::paintEvent(event);
}

// Place -------------------------------------------------------------------------------

void QVSearchField::pinToParentRightEdge(int margin)
{
    _pinMargin = margin;
    if (QWidget* parent = parentWidget()) {
        parent->installEventFilter(this);
        _placeInParent();
    }
}

void QVSearchField::_placeInParent()
{
    QWidget* parent = parentWidget();
    if (!parent || _pinMargin < 0)
        return;
    move(parent->width() - width() - _pinMargin, (parent->height() - height()) / 2);
    raise();
}

bool QVSearchField::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        _placeInParent();
    return QLineEdit::eventFilter(watched, event);
}
