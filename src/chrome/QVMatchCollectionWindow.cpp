#include "QVMatchCollectionWindow.h"

#include "QVCollectionStatsView.h"
#include "QVConstants.h"
#include "QVImage.h"
#include "QVLocalizedString.h"
#include "QVTextPushButton.h"
#include "QVUIConstantsService.h"
#include "QVUserDefaults.h"
#include "QVUtils.h"
#include "QVWebNavigationService.h"
#include "QVWebPlaybackService.h"

#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <pwd.h>
#include <unistd.h>

// The window's images are compiled into this static library: register them by
// hand, once; the call must sit outside any namespace.
static void initMatchCollectionImages()
{
    static const bool initialized = [] {
        Q_INIT_RESOURCE(QVMatchCollectionImages);
        return true;
    }();
    (void)initialized;
}

namespace {

constexpr int kIconSize = 64;

// "Lucida Grande" 13 px becomes the desktop's sans at that size.
QFont sansFont(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace

QVMatchCollectionWindow::QVMatchCollectionWindow(QVUserDefaults* defaults, QWidget* parent)
    : QVWindow(parent)
    , _defaults(defaults)
{
    initMatchCollectionImages();
    setWindowTitle(QVLocalizedString("Match Collection"));
    _itunesLoader = new QVITunesLibraryLoader(this, this);
    _collectionMatcher = new QVCollectionMatcher(this, this);
    if (_defaults)
        _collectionMatcher->setUserDefaults(_defaults);
    _buildContents();

    _loadITunesAppIcon();
    _setUsersLibraryName();
    _matchCollectionButton->setFontName(sansFont(13).family());
    _matchCollectionButton->setFontSize(13);
    _matchCollectionButton->setBackgroundImage(QStringLiteral("button_glossy_bg.png"),
        QStringLiteral("button_glossy_cap.png"), QString(), QString(),
        QStringLiteral("button_glossy_bg_down.png"), QStringLiteral("button_glossy_cap_down.png"), QString(),
        QString(), QStringLiteral("button_glossy_bg_inactive.png"),
        QStringLiteral("button_glossy_cap_inactive.png"));
    _matchCollectionButton->setCustomTextYOffset(3);
    _setMatchCollectionButtonEnabled(true);

    const QString key = QLatin1String(QVITunesLibraryPathKey);
    if (_settings()->stringForKey(key).isEmpty())
        _settings()->setValue(defaultLibraryPath(), key);
    QVWebNavigationService::sharedInstance()->addWebNavigationListener(this);
    _updateCollectionDetails();
    _dialogDescriptionTextField->setText(QVStringWithBundleName(_dialogDescriptionTextField->text()));
}

QVMatchCollectionWindow::~QVMatchCollectionWindow()
{
    QVWebNavigationService::sharedInstance()->removeWebNavigationListener(this);
    // The matcher and loader stop their threads before the listener goes.
    delete _collectionMatcher;
    delete _itunesLoader;
}

QVUserDefaults* QVMatchCollectionWindow::_settings() const
{
    return _defaults ? _defaults : QVUserDefaults::standardUserDefaults();
}

void QVMatchCollectionWindow::_buildContents()
{
    resize(480, 400);
    QWidget* content = contentView();
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(20, 16, 20, 16);
    layout->setSpacing(12);

    _dialogDescriptionTextField = new QLabel(
        QVLocalizedString(
            "[product_name] looks for the songs of your iTunes library in its catalogue and adds the "
            "ones it finds to your collection."),
        content);
    _dialogDescriptionTextField->setWordWrap(true);
    _dialogDescriptionTextField->setFont(sansFont(13));
    layout->addWidget(_dialogDescriptionTextField);

    auto* library = new QHBoxLayout();
    _itunesImageView = new QLabel(content);
    _itunesImageView->setFixedSize(kIconSize, kIconSize);
    library->addWidget(_itunesImageView);
    auto* names = new QVBoxLayout();
    _libraryNameTextField = new QLabel(content);
    _libraryNameTextField->setFont(sansFont(15, true));
    _songTotalTextField = new QLabel(content);
    _songTotalTextField->setFont(sansFont(13));
    _songTotalTextField->setWordWrap(true);
    names->addWidget(_libraryNameTextField);
    names->addWidget(_songTotalTextField);
    names->addStretch();
    library->addLayout(names, 1);
    layout->addLayout(library);

    auto* choices = new QHBoxLayout();
    _detectCollectionButton = new QPushButton(QVLocalizedString("Use iTunes Library"), content);
    _changeCollectionButton = new QPushButton(QVLocalizedString("Choose iTunes Folder…"), content);
    connect(_detectCollectionButton, &QPushButton::clicked, this, &QVMatchCollectionWindow::detectCollection);
    connect(_changeCollectionButton, &QPushButton::clicked, this, &QVMatchCollectionWindow::changeCollection);
    choices->addWidget(_detectCollectionButton);
    choices->addWidget(_changeCollectionButton);
    choices->addStretch();
    layout->addLayout(choices);

    _statsView = new QVCollectionStatsView(content);
    auto* stats = new QGridLayout(_statsView);
    stats->setContentsMargins(16, 12, 16, 12);
    const auto addRow = [this, stats](int row, const char* title) {
        auto* label = new QLabel(QVLocalizedString(title), _statsView);
        label->setFont(sansFont(12));
        auto* value = new QLabel(_statsView);
        value->setFont(sansFont(12, true));
        stats->addWidget(label, row, 0);
        stats->addWidget(value, row, 1);
        return value;
    };
    _lastMatchedDateTextField = addRow(0, "Last matched:");
    _totalMatchedTextField = addRow(1, "Songs matched:");
    _addedTextField = addRow(2, "Songs added:");
    stats->setColumnStretch(1, 1);
    layout->addWidget(_statsView);

    _matchStatusTextField = new QLabel(content);
    _matchStatusTextField->setWordWrap(true);
    _matchStatusTextField->setFont(sansFont(12));
    layout->addWidget(_matchStatusTextField);
    layout->addStretch();

    _matchCollectionButton = new QVTextPushButton(content);
    _matchCollectionButton->setTitle(QVLocalizedString("Match Collection"));
    connect(
        _matchCollectionButton, &QAbstractButton::clicked, this, &QVMatchCollectionWindow::matchCollection);
    layout->addWidget(_matchCollectionButton, 0, Qt::AlignRight);

    // The sheet that covers the window while a run goes.
    _matchProgressWindow = new QDialog(this);
    _matchProgressWindow->setWindowModality(Qt::WindowModal);
    _matchProgressWindow->setWindowTitle(QVLocalizedString("Matching Collection"));
    auto* sheet = new QVBoxLayout(_matchProgressWindow);
    auto* caption = new QLabel(QVLocalizedString("Matching your iTunes library…"), _matchProgressWindow);
    _matchProgressIndicator = new QProgressBar(_matchProgressWindow);
    _matchProgressIndicator->setRange(0, 100);
    _matchProgressIndicator->setMinimumWidth(280);
    auto* cancel = new QPushButton(QVLocalizedString("Cancel"), _matchProgressWindow);
    connect(cancel, &QPushButton::clicked, this, &QVMatchCollectionWindow::cancelMatchCollection);
    // Escape or closing the sheet means cancel; the sheet stays until the run ends.
    connect(_matchProgressWindow, &QDialog::rejected, this, [this] {
        if (_collectionMatcher->isRunning()) {
            _matchProgressWindow->open();
            cancelMatchCollection();
        }
    });
    sheet->addWidget(caption);
    sheet->addWidget(_matchProgressIndicator);
    sheet->addWidget(cancel, 0, Qt::AlignRight);
}

QString QVMatchCollectionWindow::defaultLibraryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::MusicLocation)
        + QStringLiteral("/iTunes/iTunes Music Library.xml");
}

QString QVMatchCollectionWindow::libraryTitle(const QString& fullName, const QString& loginName)
{
    QString name = fullName.trimmed();
    if (name.isEmpty())
        name = loginName;
    name = name.section(u' ', 0, 0);
    return QStringLiteral("%1's %2").arg(name, QVLocalizedString("iTunes Music"));
}

QString QVMatchCollectionWindow::userFullName()
{
    const passwd* entry = ::getpwuid(::getuid());
    if (!entry || !entry->pw_gecos)
        return QString();
    return QString::fromLocal8Bit(entry->pw_gecos).section(u',', 0, 0);
}

QString QVMatchCollectionWindow::userLoginName()
{
    const passwd* entry = ::getpwuid(::getuid());
    if (entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    return qEnvironmentVariable("USER");
}

void QVMatchCollectionWindow::_loadITunesAppIcon(const QString& name)
{
    _itunesImageName = name;
    const QVImage image = QVImage::named(name);
    _itunesImageView->setPixmap(
        QPixmap::fromImage(image.toImage(QSize(kIconSize, kIconSize), devicePixelRatioF())));
}

void QVMatchCollectionWindow::_setUsersLibraryName()
{
    _libraryNameTextField->setText(libraryTitle(userFullName(), userLoginName()));
}

void QVMatchCollectionWindow::_setMatchCollectionButtonEnabled(bool enabled)
{
    QVUIConstantsService* constants = QVUIConstantsService::sharedInstance();
    _matchCollectionButton->setEnabled(enabled);
    _matchCollectionButton->setTextColor(
        enabled ? constants->defaultShadowedWhiteTextColor() : QColor(Qt::gray));
    _matchCollectionButton->setTextShadowColor(
        enabled ? constants->defaultNowPlayingViewTextShadow() : constants->defaultTextShadowWithAlpha(0));
}

void QVMatchCollectionWindow::_updateCollectionDetails()
{
    const QVariantMap history = _collectionMatcher->matchedCollectionHistoryDictionary();
    _lastMatchedDateTextField->setText(history.value(QLatin1String(QVLastMatchedDateKey)).toString());
    _totalMatchedTextField->setText(history.value(QLatin1String(QVMatchedTrackCountKey)).toString());
    _addedTextField->setText(history.value(QLatin1String(QVAddedTrackCountKey)).toString());
}

void QVMatchCollectionWindow::_loadUsersITunesLibrary()
{
    _itunesLoader->loadLibraryAtPath(_settings()->stringForKey(QLatin1String(QVITunesLibraryPathKey)));
    _updateCollectionDetails();
}

void QVMatchCollectionWindow::showEvent(QShowEvent* event)
{
    QVWindow::showEvent(event);
    _loadUsersITunesLibrary();
}

void QVMatchCollectionWindow::makeKeyAndOrderFront()
{
    const bool wasVisible = isVisible();
    show(); // a first showing loads the library
    raise();
    activateWindow();
    if (wasVisible)
        _loadUsersITunesLibrary();
}

void QVMatchCollectionWindow::onMatchCollectionActivated()
{
    makeKeyAndOrderFront();
}

void QVMatchCollectionWindow::detectCollection()
{
    _itunesLoader->loadLibraryAtPath(defaultLibraryPath());
}

void QVMatchCollectionWindow::changeCollection()
{
    if (!_openPanel) {
        _openPanel = new QFileDialog(this, QVLocalizedString("Choose iTunes Folder"));
        _openPanel->setWindowModality(Qt::WindowModal);
        _openPanel->setFileMode(QFileDialog::Directory);
        _openPanel->setOption(QFileDialog::ShowDirsOnly, true);
        _openPanel->setLabelText(QFileDialog::Accept, QVLocalizedString("Choose"));
        connect(_openPanel, &QFileDialog::finished, this, [this](int result) {
            const QStringList chosen = _openPanel->selectedFiles();
            openPanelDidEnd(result == QDialog::Accepted ? 1 : 0, chosen.value(0));
        });
    }
    _openPanel->setDirectory(QStandardPaths::writableLocation(QStandardPaths::MusicLocation));
    _openPanel->open();
}

void QVMatchCollectionWindow::openPanelDidEnd(int returnCode, const QString& folder)
{
    if (_openPanel)
        _openPanel->hide();
    if (returnCode != 1 || folder.isEmpty())
        return;
    QString path = folder + QStringLiteral("/iTunes Music Library.xml");
    if (!QFileInfo::exists(path))
        path = folder + QStringLiteral("/iTunes Library.xml");
    _itunesLoader->loadLibraryAtPath(path);
}

void QVMatchCollectionWindow::onLibraryLoadStarted()
{
    _songTotalTextField->clear();
    _changeCollectionButton->setEnabled(false);
    _detectCollectionButton->setEnabled(false);
    _setMatchCollectionButtonEnabled(false);
}

void QVMatchCollectionWindow::onLibraryLoadFailed(qint32)
{
    _loadITunesAppIcon(QStringLiteral("icon_warning"));
    _libraryNameTextField->setText(QVLocalizedString("No iTunes library found."));
    _songTotalTextField->setText(QVLocalizedString("You can try choosing your iTunes folder."));
    _changeCollectionButton->setEnabled(true);
    _detectCollectionButton->setEnabled(_itunesLoader->loadedLibraryPath() == defaultLibraryPath());
    _setMatchCollectionButtonEnabled(false);
}

void QVMatchCollectionWindow::onLibraryLoadFinished()
{
    const qsizetype count = _itunesLoader->libraryTracks().value_or(QList<QVITunesTrack>()).size();
    _songTotalTextField->setText(QStringLiteral("%1 %2").arg(QVUtils::stringWithDecimalStyle(qint64(count)),
        QVUtils::pluralize(
            int(qMin<qsizetype>(count, INT_MAX)), QVLocalizedString("song"), QVLocalizedString("songs"))));
    _loadITunesAppIcon();
    _setUsersLibraryName();
    const QString loaded = _itunesLoader->loadedLibraryPath();
    _detectCollectionButton->setEnabled(loaded != defaultLibraryPath());
    _changeCollectionButton->setEnabled(true);
    _setMatchCollectionButtonEnabled(true);
    _settings()->setValue(loaded, QLatin1String(QVITunesLibraryPathKey));
}

void QVMatchCollectionWindow::matchCollection()
{
    const bool signedIn
        = _isAuthenticated ? _isAuthenticated() : QVWebPlaybackService::sharedInstance()->isAuthenticated();
    if (!signedIn || _collectionMatcher->isRunning())
        return;
    _matchStatusTextField->clear();
    _collectionMatcher->uploadITunesLibraryTracks(
        _itunesLoader->libraryTracks().value_or(QList<QVITunesTrack>()));
}

void QVMatchCollectionWindow::onCollectionMatchingStarted()
{
    _isCanceling = false;
    _matchProgressIndicator->setRange(0, 0); // moves until the first answer
    _matchProgressWindow->open();
}

void QVMatchCollectionWindow::onCollectionMatchingProgress(quint32 percentage)
{
    // After a cancel the bar stays indeterminate until the sheet closes.
    if (_isCanceling)
        return;
    if (_matchProgressIndicator->maximum() == 0)
        _matchProgressIndicator->setRange(0, 100);
    _matchProgressIndicator->setValue(int(qMin(percentage, 100u)));
}

void QVMatchCollectionWindow::cancelMatchCollection()
{
    if (_isCanceling)
        return;
    _isCanceling = true;
    _matchProgressIndicator->setRange(0, 0);
    _collectionMatcher->cancelCollectionMatch();
}

void QVMatchCollectionWindow::onCollectionMatchingFinished()
{
    const QVCollectionMatcher::RunSummary run = _collectionMatcher->lastRun();
    if (run.serviceUnreachable())
        _matchStatusTextField->setText(QVLocalizedString(
            "The service could not be reached. Your library was not matched; try again later."));
    else if (run.unsentTracks > 0)
        _matchStatusTextField->setText(
            QVLocalizedString("%1 %2 could not be sent. Try matching again later.")
                .arg(QVUtils::stringWithDecimalStyle(run.unsentTracks),
                    QVUtils::pluralize(int(qMin<quint32>(run.unsentTracks, INT_MAX)),
                        QVLocalizedString("song"), QVLocalizedString("songs"))));
    _sheetDidEnd();
}

void QVMatchCollectionWindow::onCollectionMatchingCanceled()
{
    _sheetDidEnd();
}

void QVMatchCollectionWindow::_sheetDidEnd()
{
    _isCanceling = false;
    _matchProgressWindow->hide();
    _updateCollectionDetails();
}
