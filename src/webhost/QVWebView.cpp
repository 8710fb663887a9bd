#include "QVWebView.h"

#include "QVLog.h"
#include "QVPageBridgeScript.h"
#include "QVPageCallReceiver.h"
#include "QVScriptObject.h"
#include "QVScriptValue.h"
#include "QVWebPage.h"

#include <QEventLoop>
#include <QWebChannel>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include <memory>

namespace {
int gWaitDepth = 0;
int gMaxWaitDepth = 0;
QList<QPointer<QVWebView>> gViews;

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

// Scripts given to a batch are expressions; a trailing semicolon is allowed.
QString asExpression(QString script)
{
    script = script.trimmed();
    while (script.endsWith(u';'))
        script.chop(1);
    return script;
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

    _dispatchTimer.setSingleShot(true);
    // A queued call or a 0 ms timer would run before the engine's own pending
    // work and stall the first read of a burst; 1 ms precise does not.
    _dispatchTimer.setTimerType(Qt::PreciseTimer);
    connect(&_dispatchTimer, &QTimer::timeout, this, &QVWebView::_dispatchCalls);
    connect(this, &QWebEngineView::loadFinished, this, &QVWebView::_enqueueLoadFinished);
    gViews.append(this);
}

QVWebView::~QVWebView()
{
    gViews.removeAll(this);
}

QVWebPage* QVWebView::webPage() const
{
    return _page;
}

int QVWebView::waitDepth()
{
    return gWaitDepth;
}

int QVWebView::maxWaitDepth()
{
    return gMaxWaitDepth;
}

void QVWebView::resetMaxWaitDepth()
{
    gMaxWaitDepth = gWaitDepth;
}

QString QVWebView::evaluate(const QString& script)
{
    return QVScriptValue::textFromVariant(_runAndWait(script));
}

void QVWebView::executeJavascript(const QString& script)
{
    // No wait: a command needs no answer, and the engine keeps the order.
    _page->runJavaScript(script, QWebEngineScript::MainWorld);
}

QStringList QVWebView::evaluateBatch(const QStringList& expressions)
{
    if (expressions.isEmpty())
        return {};
    // Each expression in its own function, so one that throws reads as "" and
    // leaves the others alone.
    QStringList parts;
    parts.reserve(expressions.size());
    for (const QString& expression : expressions)
        parts.append(QStringLiteral("(function(){try{return (%1\n);}catch(e){return undefined;}})()")
                         .arg(asExpression(expression)));
    const QVariant result = _runAndWait(QLatin1Char('[') + parts.join(QLatin1Char(',')) + QLatin1Char(']'));

    QStringList texts;
    const QVariantList values = result.toList();
    texts.reserve(expressions.size());
    for (qsizetype i = 0; i < expressions.size(); ++i)
        texts.append(i < values.size() ? QVScriptValue::textFromVariant(values.at(i)) : QString());
    return texts;
}

QVariant QVWebView::_runAndWait(const QString& script)
{
    struct Pending {
        bool done = false;
        QVariant value;
        QPointer<QEventLoop> loop;
    };
    auto pending = std::make_shared<Pending>();
    QEventLoop loop;
    pending->loop = &loop;

    _page->runJavaScript(script, QWebEngineScript::MainWorld, [pending](const QVariant& value) {
        pending->done = true;
        pending->value = value;
        if (pending->loop)
            pending->loop->quit();
    });

    QPointer<QVWebView> self(this);
    if (!pending->done) {
        QTimer limit;
        limit.setSingleShot(true);
        limit.setTimerType(Qt::PreciseTimer);
        connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        limit.start(_evaluationTimeout);
        gMaxWaitDepth = std::max(gMaxWaitDepth, ++gWaitDepth);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        --gWaitDepth;
    }
    pending->loop = nullptr;

    if (gWaitDepth == 0) {
        // Page calls that arrived meanwhile, and alerts held back, go now.
        for (const QPointer<QVWebView>& view : std::as_const(gViews))
            if (view)
                view->_afterWait();
    }
    if (!pending->done) {
        QVLog("[WARNING] Script did not answer within %d ms: %s", _evaluationTimeout,
              qPrintable(script.left(120)));
        if (self)
            emit evaluationTimedOut(script);
        return {};
    }
    return pending->value;
}

void QVWebView::_afterWait()
{
    if (!_calls.empty())
        _scheduleDispatch();
    _page->showDeferredAlerts();
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
    bridge.setRunsOnSubFrames(false);
    bridge.setSourceCode(QVPageBridgeScript::source(table));
    scripts.insert(bridge);
}

void QVWebView::_enqueueCall(const QString& object, const QString& method, const QVariantList& arguments)
{
    qsizetype budget = 4096;
    if (object.size() > 64 || method.size() > 64 || arguments.size() > kMaxArguments
        || !isAcceptableArgument(QVariant(arguments), 0, budget)) {
        QVLog("[WARNING] Dropped an oversized page call to %s.%s", qPrintable(object.left(64)),
              qPrintable(method.left(64)));
        return;
    }
    if (int(_calls.size()) >= kMaxQueuedCalls) {
        QVLog("[WARNING] Dropped page call %s.%s: %d calls already waiting", qPrintable(object),
              qPrintable(method), kMaxQueuedCalls);
        return;
    }
    _calls.push_back(PageCall{object, method, arguments});
    _scheduleDispatch();
}

void QVWebView::_enqueueLoadFinished(bool ok)
{
    _calls.push_back(PageCall{QString(), QString(), {}, ok});
    _scheduleDispatch();
}

void QVWebView::_scheduleDispatch()
{
    if (!_dispatchTimer.isActive())
        _dispatchTimer.start(1);
}

void QVWebView::_dispatchCalls()
{
    // Never inside a read (the read's end schedules us again), never twice.
    if (_dispatching || gWaitDepth > 0)
        return;
    _dispatching = true;
    QPointer<QVWebView> self(this);
    while (self && !_calls.empty() && gWaitDepth == 0) {
        const PageCall call = std::move(_calls.front());
        _calls.pop_front();
        if (call.object.isEmpty()) {
            emit pageLoadFinished(call.loadSucceeded);
            continue;
        }
        QVScriptObject* target = _scriptObjects.value(call.object);
        if (!target || !target->exportedMethods().contains(call.method)) {
            QVLog("[WARNING] Dropped page call to unknown method %s.%s", qPrintable(call.object),
                  qPrintable(call.method));
            continue;
        }
        target->invokeScriptMethod(call.method, call.arguments);
    }
    if (self)
        _dispatching = false;
}
