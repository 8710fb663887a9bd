#pragma once

#include "QVAbstractWebView.h"
#include "QVLinkTargetTracker.h"
#include "QVPageBridgeScript.h"

#include <QElapsedTimer>
#include <QMap>
#include <QPointer>
#include <QTimer>
#include <QWebEngineView>

#include <optional>

class QVScriptObject;
class QVPageCallReceiver;
class QVWebPage;
class QWebChannel;
class QWebEngineProfile;

// The one embedded web view. Reads run in the page's main world and wait in a
// nested event loop (user input excluded) up to a time limit; calls from the
// page arrive over a web channel and go through the event queue, so they run
// only outside any wait. Only documents of the service's origin get the
// channel and the script objects; reads and commands go to no other page.
class QVWebView : public QWebEngineView, public QVAbstractWebView
{
    Q_OBJECT
public:
    explicit QVWebView(QWidget* parent = nullptr, QWebEngineProfile* profile = nullptr);
    ~QVWebView() override;

    QString evaluate(const QString& script) override;
    QStringList evaluateBatch(const QStringList& expressions) override;
    void executeJavascript(const QString& script) override;

    // Past this a read gives "" and logs one line. Default 2000 ms.
    int evaluationTimeout() const { return _evaluationTimeout; }
    void setEvaluationTimeout(int milliseconds) { _evaluationTimeout = milliseconds; }

    // After a read timed out, reads answer "" at once until the page answers
    // again, so a hung renderer costs one stall.
    bool isResponsive() const override { return !_unresponsive; }

    // The service whose documents get our objects. Unset, it follows the
    // configured service URL (production, or the developer host).
    void setServiceURL(const QUrl& url);
    bool isServiceURL(const QUrl& url) const;

    void setScriptObject(const QString& name, QVScriptObject* object) override;
    QVScriptObject* scriptObject(const QString& name) const override;
    void setReportSnapshot(const QStringList& expressions, const QStringList& calls) override;
    QStringList reportSnapshot() const override { return _reportSnapshot; }
    // The texts reads would give for the values a page sent with a call:
    // exactly `count` plain values, bounded; nothing for anything else.
    static std::optional<QStringList> snapshotTexts(const QVariant& values, qsizetype count);
    QString defaultUserAgent() const override;
    void setCustomUserAgent(const QString& userAgent) override;
    void loadURL(const QUrl& url) override;
    QUrl mainFrameURL() const override;

    QVWebPage* webPage() const;

    // How deep reads are nested right now, and the deepest seen since reset.
    static int waitDepth();
    static int maxWaitDepth();
    static void resetMaxWaitDepth();

    // The target name of a link just followed to `url`, "_blank" when the
    // page named none.
    QString linkTargetFor(const QUrl& url) const { return _linkTargets.targetFor(url); }

    // Page calls waiting for dispatch.
    int pendingCallCount() const { return _pendingCalls; }

    // Limits on what the page may send us in one call.
    static constexpr int kMaxArguments = 16;
    static constexpr int kMaxStringLength = 64 * 1024;
    static constexpr int kMaxQueuedCalls = 10000;

signals:
    // A read outlived its time limit.
    void evaluationTimedOut(const QString& script);
    // loadFinished, delivered in order with the page's calls and outside the
    // engine's own callback: a read inside the engine's signal cannot be
    // answered until that callback returns, so readers listen here.
    void pageLoadFinished(bool ok);
    // The renderer is gone (crash, out of memory, killed); the view is blank.
    void renderProcessDied();
    // A native load is taking the view away from the service's document:
    // reads still waiting on it end with no answer.
    void leavingServiceDocument();

private:
    friend class QVPageCallReceiver;
    friend class QVWebPage;

    QVariant _runAndWait(const QString& script);
    void _enqueueCall(const QString& object, const QString& method, const QVariantList& arguments,
        const std::optional<QVariant>& snapshot = std::nullopt);
    void _dispatchCall(const QString& object, const QString& method, const QVariantList& arguments,
        const QStringList& snapshot);
    void _enqueueLoadFinished(bool ok);
    void _updateInjectedScript();
    void _mainFrameWillNavigate(const QUrl& url);
    QString _serviceOrigin() const;
    void _markUnresponsive();
    void _markResponsive();

    QVWebPage* _page;
    QWebChannel* _channel;
    QVPageCallReceiver* _receiver;
    QMap<QString, QVScriptObject*> _scriptObjects;
    QVPageBridgeScript::Snapshot _snapshot;
    QStringList _reportSnapshot; // while a call that brought one is dispatched
    QVLinkTargetTracker _linkTargets;
    int _pendingCalls = 0;
    int _evaluationTimeout = 2000;
    bool _unresponsive = false;
    bool _probeOutstanding = false;
    bool _leavingService = false;
    QUrl _serviceURL;
    QString _injectedOrigin;
    QString _defaultUserAgent;
};
