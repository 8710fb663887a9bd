#pragma once

#include "QVWebView.h"

// Forwards to the real page and counts round trips.
class QVCountingWebView : public QVAbstractWebView
{
public:
    explicit QVCountingWebView(QVWebView* view)
        : view(view)
    {
    }
    QString evaluate(const QString& script) override
    {
        ++trips;
        return view->evaluate(script);
    }
    QStringList evaluateBatch(const QStringList& expressions) override
    {
        ++trips;
        return view->evaluateBatch(expressions);
    }
    void setScriptObject(const QString& name, QVScriptObject* object) override { view->setScriptObject(name, object); }
    QVScriptObject* scriptObject(const QString& name) const override { return view->scriptObject(name); }
    QString defaultUserAgent() const override { return view->defaultUserAgent(); }
    void setCustomUserAgent(const QString& userAgent) override { view->setCustomUserAgent(userAgent); }
    void loadURL(const QUrl& url) override { view->loadURL(url); }
    QUrl mainFrameURL() const override { return view->mainFrameURL(); }

    QVWebView* view;
    int trips = 0;
};
