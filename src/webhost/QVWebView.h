#pragma once

#include "QVAbstractWebView.h"

#include <QElapsedTimer>
#include <QMap>
#include <QPointer>
#include <QTimer>
#include <QWebEngineView>

#include <deque>

class QVScriptObject;
class QVPageCallReceiver;
class QVWebPage;
class QWebChannel;
class QWebEngineProfile;

// The one embedded web view. Reads run in the page's main world and wait in a
// nested event loop (user input excluded) up to a time limit; calls from the
// page arrive over a web channel and are dispatched only outside any wait.
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

    void setScriptObject(const QString& name, QVScriptObject* object) override;
    QVScriptObject* scriptObject(const QString& name) const override;
    QString defaultUserAgent() const override;
    void setCustomUserAgent(const QString& userAgent) override;
    void loadURL(const QUrl& url) override;
    QUrl mainFrameURL() const override;

    QVWebPage* webPage() const;

    // How deep reads are nested right now, and the deepest seen since reset.
    static int waitDepth();
    static int maxWaitDepth();
    static void resetMaxWaitDepth();

    // Page calls waiting for dispatch.
    int pendingCallCount() const { return int(_calls.size()); }

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

private:
    friend class QVPageCallReceiver;
    struct PageCall {
        QString object; // empty for a finished load
        QString method;
        QVariantList arguments;
        bool loadSucceeded = false;
    };

    QVariant _runAndWait(const QString& script);
    void _enqueueCall(const QString& object, const QString& method, const QVariantList& arguments);
    void _enqueueLoadFinished(bool ok);
    void _scheduleDispatch();
    void _dispatchCalls();
    void _afterWait();
    void _updateInjectedScript();

    QVWebPage* _page;
    QWebChannel* _channel;
    QVPageCallReceiver* _receiver;
    QMap<QString, QVScriptObject*> _scriptObjects;
    std::deque<PageCall> _calls;
    QTimer _dispatchTimer;
    bool _dispatching = false;
    int _evaluationTimeout = 2000;
    QString _defaultUserAgent;
};
