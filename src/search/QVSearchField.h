#pragma once

#include "QVSearchFieldCell.h"
#include "QVSearchSuggestion.h"
#include "QVSearchWindow.h"
#include "QVServiceHTTPInterface.h"
#include "QVWebPlaybackService.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QAbstractTableModel;
class QNetworkAccessManager;
class QNetworkReply;
class QVAbstractWebView;
class QVAlbumArtHandler;
class QVNotificationCenter;
class QVSearchCategoryCell;
class QVSearchCell;
class QVSearchTableView;

// The native search box of the player window. Typing asks the service for
// grouped suggestions after a short pause; the answer becomes a list under
// the field; choosing a row, or Return, makes the page's router show the
// item or the search page. Keys move through the list while the field keeps
// the keyboard. Main thread only.
class QVSearchField : public QLineEdit
{
    Q_OBJECT
public:
    // Reads the collection marks of a list's songs and albums at once.
    using CollectionReader = std::function<QVWebPlaybackService::CollectionMembership(
        const QList<unsigned int>& trackIDs, const QList<unsigned int>& albumIDs)>;

    struct Services {
        QVNotificationCenter* notificationCenter = nullptr;
        // Empty: the configured service.
        QString baseURL;
        // Null: the playback service's.
        QVAlbumArtHandler* albumArtHandler = nullptr;
        // Empty: the playback service's.
        CollectionReader collectionReader;
    };

    // The pause after a key before suggestions are asked for; each key restarts it.
    static constexpr int kTypingPauseMs = 150;
    static constexpr int kRequestTimeoutMs = 10000;
    static constexpr int kMinimumQueryLength = 2;
    // Rows shown at most, "Show all results..." included.
    static constexpr int kMaximumRows = 100;
    static constexpr int kWidth = 200;
    static constexpr int kHeight = 22;

    explicit QVSearchField(QWidget* parent = nullptr);
    QVSearchField(QWidget* parent, const Services& services);
    ~QVSearchField() override;

    QVAbstractWebView* webView() const { return _webView; }
    void setWebView(QVAbstractWebView* webView) { _webView = webView; }

    int searchType() const { return _searchType; }
    bool isRequestPending() const { return _isRequestPending; }
    const std::vector<std::unique_ptr<QVSearchSuggestion>>& suggestions() const { return _suggestions; }
    QVSearchWindow* searchWindow() const { return _searchWindow; }
    QVSearchTableView* searchTableView() const;
    bool isSearchWindowVisible() const;
    void hideSearchWindow();

    // Keeps the field at the right end of its parent, `margin` points in,
    // centred from top to bottom.
    void pinToParentRightEdge(int margin);

    // What the field did, for tests and measurements.
    struct Statistics {
        int requestsStarted = 0;
        int requestsAborted = 0;
        int answersRead = 0;
        int listsShown = 0;
        int tableReloads = 0;
    };
    Statistics statistics() const { return _statistics; }

    // The list for a parsed answer: "Show all results...", the top hit, then
    // the groups in order with their headings and paddings, at most kMaximumRows.
    static std::vector<std::unique_ptr<QVSearchSuggestion>> buildSuggestions(
        const QVServiceHTTPInterface::SearchSuggestions& answer, QVNotificationCenter* center = nullptr);
    // The search page's path for the field's text: one escaped path segment.
    static QString searchPathForText(const QString& text);
    // 33 points with a subtitle, else 20, plus both paddings.
    static int rowHeightForSuggestion(const QVSearchSuggestion& suggestion);
    static QImage leftImageForSuggestion(const QVSearchSuggestion& suggestion, bool selected);
    static QImage rightImageForSuggestion(const QVSearchSuggestion& suggestion, bool selected);

    // The action of the field and of the list. `keyDown`: it came from a key.
    void _doSearch(QObject* sender, bool keyDown = false);
    void _startSearchRequest(const QString& query);
    void _stopSearchRequest();
    // An answer's body: builds the new list and shows it.
    void _connectionDidFinishLoading(const QByteArray& body);
    void _showSearchWindow();

signals:
    // A new list is on screen.
    void suggestionsShown();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void _step(int delta);
    void _replyFinished(QNetworkReply* reply);
    void _onSuggestionAlbumArtReady();
    void _reloadTable();
    void _createSearchWindow();
    void _placeInParent();
    QVAlbumArtHandler* _albumArtHandler() const;
    QVWebPlaybackService::CollectionMembership _readCollection(
        const QList<unsigned int>& trackIDs, const QList<unsigned int>& albumIDs) const;

    Services _services;
    QVNotificationCenter* _center;
    QVAbstractWebView* _webView = nullptr;
    QNetworkAccessManager* _network;
    QPointer<QNetworkReply> _connection;
    QByteArray _connectionData;
    // Counts requests: an answer read for an older one is dropped.
    quint64 _generation = 0;
    std::vector<std::unique_ptr<QVSearchSuggestion>> _suggestions;
    QPointer<QVSearchWindow> _searchWindow;
    QAbstractTableModel* _model = nullptr;
    QVSearchCategoryCell* _categoryCell = nullptr;
    QVSearchCell* _cell = nullptr;
    int _searchType = 0;
    bool _isRequestPending = false;
    bool _isReloadScheduled = false;
    int _pinMargin = -1;
    QTimer _typingTimer;
    QVSearchFieldCell _fieldCell;
    Statistics _statistics;
};
