#include "QVWebView.h"

#include "QVEventQueue.h"
#include "QVLog.h"
#include "QVPageBridgeScript.h"
#include "QVPageCallReceiver.h"
#include "QVScriptObject.h"
#include "QVScriptValue.h"
#include "QVUIConstantsService.h"
#include "QVUtils.h"
#include "QVWebPage.h"

#include <QEventLoop>
#include <QWebChannel>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include <memory>

namespace {
const QString kBridgeScriptName = QStringLiteral("quiv-bridge");

// How much of the page's argument structure we accept: strings bounded in
// length, containers in size and depth.
bool isAcceptableArgument(const QVariant& value, int depth, qsizetype& budget)
{
    if (depth > 8 || --budget < 0)
        return false;
    switch (value.typeId()) {
    case QMetaType::QString:
        budget -= value.toString().size() / 64;
        return value.toString().size() <= QVWebView::kMaxStringLength && budget >= 0;
    case QMetaType::QVariantList:
        for (const QVariant& item : value.toList())
            if (!isAcceptableArgument(item, depth + 1, budget))
                return false;
        return true;
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        for (auto it = map.begin(); it != map.end(); ++it)
            if (it.key().size() > 256 || !isAcceptableArgument(it.value(), depth + 1, budget))
                return false;
        return true;
    }
    default:
        return true;
    }
}

// The origin as a document's location.origin writes it: default ports left out.
QString originOf(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty() || (url.scheme() != u"http" && url.scheme() != u"https"))
        return {};
    const int defaultPort = url.scheme() == u"https" ? 443 : 80;
    QString origin = url.scheme() + QStringLiteral("://") + url.host(QUrl::FullyEncoded);
    if (url.port() != -1 && url.port() != defaultPort)
        origin += QLatin1Char(':') + QString::number(url.port());
    return origin;
}
} // namespace

QVWebView::QVWebView(QWidget* parent, QWebEngineProfile* profile)
    : QWebEngineView(parent)
    , _page(new QVWebPage(profile ? profile : QWebEngineProfile::defaultProfile(), this))
    , _channel(new QWebChannel(this))
    , _receiver(new QVPageCallReceiver(this))
{
    setPage(_page);
    _defaultUserAgent = _page->profile()->httpUserAgent();
    // Native commands (media keys, the menu, D-Bus) start playback without a click.
    _page->settings()->setAttribute(QWebEngineSettings::PlaybackRequiresUserGesture, false);

    _receiver->setParent(this);
    _channel->registerObject(QString::fromLatin1(QVPageBridgeScript::kHostObjectName), _receiver);
    _page->setWebChannel(_channel, QWebEngineScript::MainWorld);
    _updateInjectedScript();

    connect(this, &QWebEngineView::loadFinished, this, &QVWebView::_enqueueLoadFinished);
    // Once a load ends or commits, the document's own address tells again.
    connect(this, &QWebEngineView::loadFinished, this, [this] { _leavingService = false; });
    connect(this, &QWebEngineView::urlChanged, this, [this] { _leavingService = false; });
    // Alerts held back during a read are shown once every read has ended.
    connect(QVEventQueue::sharedInstance(), &QVEventQueue::waitsEnded, _page, &QVWebPage::showDeferredAlerts);
    connect(_page, &QWebEnginePage::renderProcessTerminated, this,
        [this](QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
            if (status == QWebEnginePage::NormalTerminationStatus)
                return;
            QVLog("[ERROR] The page's renderer died (status %d, exit code %d)", int(status), exitCode);
            // Its answers will never come: the next page starts afresh.
            _unresponsive = false;
            _probeOutstanding = false;
            QVEventQueue::sharedInstance()->enqueue(this, [this] { emit renderProcessDied(); });
        });
}

QVWebView::~QVWebView() = default;

QVWebPage* QVWebView::webPage() const
{
    return _page;
}

int QVWebView::waitDepth()
{
    return QVEventQueue::waitDepth();
}

int QVWebView::maxWaitDepth()
{
    return QVEventQueue::maxWaitDepth();
}

void QVWebView::resetMaxWaitDepth()
{
    QVEventQueue::resetMaxWaitDepth();
}

void QVWebView::setServiceURL(const QUrl& url)
{
    _serviceURL = url;
    _updateInjectedScript();
}

QString QVWebView::_serviceOrigin() const
{
    return originOf(
        _serviceURL.isEmpty() ? QUrl(QVUIConstantsService::sharedInstance()->quivURL()) : _serviceURL);
}

bool QVWebView::isServiceURL(const QUrl& url) const
{
    const QString origin = originOf(url);
    return !origin.isEmpty() && origin == _serviceOrigin();
}

QString QVWebView::evaluate(const QString& script)
{
    return QVScriptValue::textFromVariant(_runAndWait(script));
}

void QVWebView::executeJavascript(const QString& script)
{
    // Another document has none of the service's objects: nothing to command.
    if (!isServiceURL(url()) || _leavingService)
        return;
    // No wait: a command needs no answer, and the engine keeps the order.
    _page->runJavaScript(script, QWebEngineScript::MainWorld);
}

QStringList QVWebView::evaluateBatch(const QStringList& expressions)
{
    if (expressions.isEmpty())
        return {};
    const QVariant result = _runAndWait(QVPageBridgeScript::batchExpression(expressions));

    // No answer (or not ours): the caller keeps what it had.
    const QVariantList values = result.toList();
    if (result.typeId() != QMetaType::QVariantList || values.size() != expressions.size())
        return {};
    QStringList texts;
    texts.reserve(expressions.size());
    for (const QVariant& value : values)
        texts.append(QVScriptValue::textFromVariant(value));
    return texts;
}

QVariant QVWebView::_runAndWait(const QString& script)
{
    if (!isServiceURL(url()) || _leavingService)
        return {};
    if (_unresponsive) {
        // One cheap question at a time tells us when the page is back.
        if (!_probeOutstanding) {
            _probeOutstanding = true;
            QPointer<QVWebView> self(this);
            _page->runJavaScript(QStringLiteral("0"), QWebEngineScript::MainWorld, [self](const QVariant&) {
                if (self)
                    self->_markResponsive();
            });
        }
        return {};
    }

    struct Pending {
        bool done = false;
        QVariant value;
        QPointer<QEventLoop> loop;
    };
    auto pending = std::make_shared<Pending>();
    QEventLoop loop;
    pending->loop = &loop;

    QPointer<QVWebView> self(this);
    _page->runJavaScript(script, QWebEngineScript::MainWorld, [pending, self](const QVariant& value) {
        const bool late = !pending->loop;
        pending->done = true;
        pending->value = value;
        if (pending->loop)
            pending->loop->quit();
        // A read that outlived its limit has come back: the page answers again.
        if (late && self)
            self->_markResponsive();
    });

    if (!pending->done) {
        QTimer limit;
        limit.setSingleShot(true);
        limit.setTimerType(Qt::PreciseTimer);
        connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(this, &QVWebView::leavingServiceDocument, &loop, &QEventLoop::quit);
        limit.start(_evaluationTimeout);
        QVEventQueue::beginWait();
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        QVEventQueue::endWait();
    }
    pending->loop = nullptr;

    // Unloaded while we waited: no answer, and no fault of the page's.
    if (!pending->done && self && self->_leavingService)
        return {};
    if (!pending->done) {
        QVLog("[WARNING] Script did not answer within %d ms: %s", _evaluationTimeout,
            qPrintable(script.left(120)));
        if (self) {
            self->_markUnresponsive();
            emit self->evaluationTimedOut(script);
        }
        return {};
    }
    return pending->value;
}

void QVWebView::_markUnresponsive()
{
    if (_unresponsive)
        return;
    _unresponsive = true;
    // The timed-out read itself is the question still out.
    _probeOutstanding = true;
    QVLog("[WARNING] The page is not answering: reads answer empty until it does");
}

void QVWebView::_markResponsive()
{
    _probeOutstanding = false;
    if (!_unresponsive)
        return;
    _unresponsive = false;
    QVLog("The page answers again");
}

void QVWebView::setScriptObject(const QString& name, QVScriptObject* object)
{
    if (object)
        _scriptObjects.insert(name, object);
    else
        _scriptObjects.remove(name);
    _updateInjectedScript();
}

QVScriptObject* QVWebView::scriptObject(const QString& name) const
{
    return _scriptObjects.value(name);
}

QString QVWebView::defaultUserAgent() const
{
    return _defaultUserAgent;
}

void QVWebView::setCustomUserAgent(const QString& userAgent)
{
    _page->profile()->setHttpUserAgent(userAgent);
}

void QVWebView::loadURL(const QUrl& url)
{
    // The service's document is on its way out (the unload at quit): a read
    // sent now may never be answered, and a command would reach the next one.
    _leavingService = !isServiceURL(url);
    if (_leavingService)
        emit leavingServiceDocument();
    load(url);
}

QUrl QVWebView::mainFrameURL() const
{
    return url();
}

void QVWebView::_updateInjectedScript()
{
    QMap<QString, QStringList> table;
    for (auto it = _scriptObjects.begin(); it != _scriptObjects.end(); ++it)
        table.insert(it.key(), it.value()->exportedMethods());

    QWebEngineScriptCollection& scripts = _page->scripts();
    for (const QWebEngineScript& old : scripts.find(kBridgeScriptName))
        scripts.remove(old);
    QWebEngineScript bridge;
    bridge.setName(kBridgeScriptName);
    bridge.setInjectionPoint(QWebEngineScript::DocumentCreation);
    bridge.setWorldId(QWebEngineScript::MainWorld);
    // Every frame runs it: any document but a service page loses the channel's transport.
    bridge.setRunsOnSubFrames(true);
    _injectedOrigin = _serviceOrigin();
    bridge.setSourceCode(QVPageBridgeScript::source(table, _injectedOrigin, _snapshot));
    scripts.insert(bridge);
}

void QVWebView::_mainFrameWillNavigate(const QUrl&)
{
    // The script that decides who gets our objects must know the service
    // before the next document exists.
    if (_injectedOrigin != _serviceOrigin())
        _updateInjectedScript();
}

void QVWebView::setReportSnapshot(const QStringList& expressions, const QStringList& calls)
{
    _snapshot = { expressions, calls };
    _updateInjectedScript();
}

std::optional<QStringList> QVWebView::snapshotTexts(const QVariant& values, qsizetype count)
{
    if (values.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    const QVariantList list = values.toList();
    qsizetype budget = 4096;
    if (list.size() != count || !isAcceptableArgument(values, 0, budget))
        return std::nullopt;
    QStringList texts;
    texts.reserve(count);
    for (const QVariant& value : list) {
        // The page sends values only; a list or map was not made by our script.
        if (value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QVariantMap)
            return std::nullopt;
        texts.append(QVScriptValue::textFromVariant(value));
    }
    return texts;
}

void QVWebView::_enqueueCall(const QString& object, const QString& method, const QVariantList& arguments,
    const std::optional<QVariant>& snapshot)
{
    // Names come from the page: one escaped, bounded log line each.
    const auto named = [&] {
        return QVUtils::stringForLog(object, 64) + QLatin1Char('.') + QVUtils::stringForLog(method, 64);
    };
    if (!isServiceURL(url())) {
        QVLog("[WARNING] Dropped page call %s from a page that is not the service's", qPrintable(named()));
        return;
    }
    qsizetype budget = 4096;
    if (object.size() > 64 || method.size() > 64 || arguments.size() > kMaxArguments
        || !isAcceptableArgument(QVariant(arguments), 0, budget)) {
        QVLog("[WARNING] Dropped an oversized page call to %s", qPrintable(named()));
        return;
    }
    if (object == QLatin1String(QVPageBridgeScript::kInternalObjectName)) {
        // Kept at once, not queued: it is only remembered, and the engine's
        // new-window request that follows the click must find it.
        if (method == QLatin1String(QVPageBridgeScript::kLinkTargetMethod))
            _linkTargets.report(arguments);
        else
            QVLog("[WARNING] Dropped page call to unknown method %s", qPrintable(named()));
        return;
    }
    if (_pendingCalls >= kMaxQueuedCalls) {
        QVLog(
            "[WARNING] Dropped page call %s: %d calls already waiting", qPrintable(named()), kMaxQueuedCalls);
        return;
    }
    // The state sent with a report; one we cannot take costs only a read.
    QStringList texts;
    if (snapshot) {
        const std::optional<QStringList> taken = _snapshot.calls.contains(object + QLatin1Char('.') + method)
            ? snapshotTexts(*snapshot, _snapshot.expressions.size())
            : std::nullopt;
        if (taken)
            texts = *taken;
        else
            QVLog("[WARNING] Ignored the state sent with page call %s", qPrintable(named()));
    }
    ++_pendingCalls;
    QVEventQueue::sharedInstance()->enqueue(this, [this, object, method, arguments, texts] {
        --_pendingCalls;
        _dispatchCall(object, method, arguments, texts);
    });
}

void QVWebView::_dispatchCall(
    const QString& object, const QString& method, const QVariantList& arguments, const QStringList& snapshot)
{
    QVScriptObject* target = _scriptObjects.value(object);
    if (!target || !target->exportedMethods().contains(method)) {
        QVLog("[WARNING] Dropped page call to unknown method %s.%s",
            qPrintable(QVUtils::stringForLog(object, 64)), qPrintable(QVUtils::stringForLog(method, 64)));
        return;
    }
    const QStringList outer = std::exchange(_reportSnapshot, snapshot);
    target->invokeScriptMethod(method, arguments);
    _reportSnapshot = outer;
}

void QVWebView::_enqueueLoadFinished(bool ok)
{
    // A page that finished loading answers.
    if (ok)
        _markResponsive();
    QVEventQueue::sharedInstance()->enqueue(this, [this, ok] { emit pageLoadFinished(ok); });
}
