#pragma once

#include "QVCollectionMatcher.h"
#include "QVITunesLibraryLoader.h"
#include "QVWebNavigationListener.h"
#include "QVWindow.h"

#include <functional>

class QDialog;
class QFileDialog;
class QLabel;
class QProgressBar;
class QPushButton;
class QVCollectionStatsView;
class QVTextPushButton;

// Sends the local iTunes library to the service for matching: which library
// (owner, icon, song count), the last run, buttons to load the usual library
// or choose another iTunes folder, and the match button. While a run goes a
// window-modal sheet with a progress bar and a cancel button covers it.
class QVMatchCollectionWindow : public QVWindow,
                                public QVITunesLibraryLoaderListener,
                                public QVCollectionMatchingListener,
                                public QVWebNavigationListener
{
    Q_OBJECT
public:
    // `defaults`: the settings to use, by default the user's.
    explicit QVMatchCollectionWindow(QVUserDefaults* defaults = nullptr, QWidget* parent = nullptr);
    ~QVMatchCollectionWindow() override;

    // The usual place of the library: the music folder's "iTunes/iTunes Music Library.xml".
    static QString defaultLibraryPath();
    // "<first name>'s iTunes Music": the full name up to the first space, the
    // login name when there is no full name.
    static QString libraryTitle(const QString& fullName, const QString& loginName);
    // The passwd entry's name field up to the first comma, and the login name.
    static QString userFullName();
    static QString userLoginName();

    // Tests decide who is signed in; by default the playback service says.
    void setAuthenticationCheck(std::function<bool()> check) { _isAuthenticated = std::move(check); }

    QVITunesLibraryLoader* itunesLoader() const { return _itunesLoader; }
    QVCollectionMatcher* collectionMatcher() const { return _collectionMatcher; }
    QDialog* matchProgressWindow() const { return _matchProgressWindow; }
    QProgressBar* matchProgressIndicator() const { return _matchProgressIndicator; }
    QLabel* itunesImageView() const { return _itunesImageView; }
    QPushButton* changeCollectionButton() const { return _changeCollectionButton; }
    QPushButton* detectCollectionButton() const { return _detectCollectionButton; }
    QVTextPushButton* matchCollectionButton() const { return _matchCollectionButton; }
    QLabel* libraryNameTextField() const { return _libraryNameTextField; }
    QLabel* songTotalTextField() const { return _songTotalTextField; }
    QLabel* lastMatchedDateTextField() const { return _lastMatchedDateTextField; }
    QLabel* totalMatchedTextField() const { return _totalMatchedTextField; }
    QLabel* addedTextField() const { return _addedTextField; }
    QLabel* dialogDescriptionTextField() const { return _dialogDescriptionTextField; }
    // Why the last run fell short, when it did.
    QLabel* matchStatusTextField() const { return _matchStatusTextField; }
    // The name of the icon shown: "itunes_icon" or "icon_warning".
    QString itunesImageName() const { return _itunesImageName; }

    // Actions.
    void matchCollection();
    void cancelMatchCollection();
    void detectCollection();
    void changeCollection();
    // Shows, raises and activates the window, then loads the stored library.
    void makeKeyAndOrderFront();
    // The folder chooser ended: 1 when the user chose `folder`.
    void openPanelDidEnd(int returnCode, const QString& folder);

    // Listeners.
    void onLibraryLoadStarted() override;
    void onLibraryLoadFailed(qint32 code) override;
    void onLibraryLoadFinished() override;
    void onCollectionMatchingStarted() override;
    void onCollectionMatchingProgress(quint32 percentage) override;
    void onCollectionMatchingFinished() override;
    void onCollectionMatchingCanceled() override;
    void onMatchCollectionActivated() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void _buildContents();
    void _loadUsersITunesLibrary();
    void _loadITunesAppIcon(const QString& name = QStringLiteral("itunes_icon"));
    void _setUsersLibraryName();
    void _setMatchCollectionButtonEnabled(bool enabled);
    void _updateCollectionDetails();
    void _sheetDidEnd();
    QVUserDefaults* _settings() const;

    QVITunesLibraryLoader* _itunesLoader = nullptr;
    QVCollectionMatcher* _collectionMatcher = nullptr;
    QDialog* _matchProgressWindow = nullptr;
    QProgressBar* _matchProgressIndicator = nullptr;
    QLabel* _itunesImageView = nullptr;
    QPushButton* _changeCollectionButton = nullptr;
    QPushButton* _detectCollectionButton = nullptr;
    QVTextPushButton* _matchCollectionButton = nullptr;
    QLabel* _libraryNameTextField = nullptr;
    QLabel* _songTotalTextField = nullptr;
    QLabel* _lastMatchedDateTextField = nullptr;
    QLabel* _totalMatchedTextField = nullptr;
    QLabel* _addedTextField = nullptr;
    QLabel* _dialogDescriptionTextField = nullptr;
    QLabel* _matchStatusTextField = nullptr;
    QVCollectionStatsView* _statsView = nullptr;
    QFileDialog* _openPanel = nullptr;

    QString _itunesImageName;
    bool _isCanceling = false;
    QVUserDefaults* _defaults = nullptr;
    std::function<bool()> _isAuthenticated;
};
