#pragma once

#include <QRectF>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// What a caller learns of a page element the DOM search found.
struct QVDomNode {
    QString tagName;
    QString elementID;
    QString className;
    QRectF rect; // in view coordinates
};

class QVScriptObject;

// Reading and commanding the page by script. The real view evaluates in the
// web engine; unit tests substitute a fake that answers from a table.
class QVAbstractWebView
{
public:
    virtual ~QVAbstractWebView() = default;

    // The script's completion value as the page's engine writes it: a string as
    // it is, a number in JavaScript's text form, "true"/"false", else "".
    virtual QString evaluate(const QString& script) = 0;
    // Many expressions in one round trip, each result as if read alone.
    // An empty list when the page did not answer (time limit, unresponsive,
    // not a service page): callers keep what they had.
    virtual QStringList evaluateBatch(const QStringList& expressions) = 0;
    // False while the page is taken to be hung: reads answer "" at once.
    virtual bool isResponsive() const { return true; }

    // Installs `object` as window[name] in every document created from now on
    // (nullptr removes it). The object is not owned.
    virtual void setScriptObject(const QString& name, QVScriptObject* object) = 0;
    virtual QVScriptObject* scriptObject(const QString& name) const = 0;

    // The page reads `expressions` itself whenever it makes one of `calls`
    // ("Object.method") and sends the values with the call, so a report
    // arrives with the state it reports and nobody reads it back. Documents
    // created from now on.
    virtual void setReportSnapshot(const QStringList& expressions, const QStringList& calls)
    {
        (void)expressions;
        (void)calls;
    }
    // While such a call is dispatched: the values, as evaluateBatch would
    // give them. Empty at any other time, or when none could be taken.
    virtual QStringList reportSnapshot() const { return {}; }

    // The engine's own user agent, and the one the view sends instead.
    virtual QString defaultUserAgent() const = 0;
    virtual void setCustomUserAgent(const QString& userAgent) = 0;

    virtual void loadURL(const QUrl& url) = 0;
    // Empty until something was loaded.
    virtual QUrl mainFrameURL() const = 0;

    // Runs a command; nobody waits for its result. Commands and reads reach
    // the page in the order they were given.
    virtual void executeJavascript(const QString& script);
    QString javascriptStringValue(const QString& script);
    int javascriptIntValue(const QString& script);
    float javascriptFloatValue(const QString& script);
    bool javascriptBoolValue(const QString& script);

    std::optional<QVDomNode> firstDomNodeForClass(const QString& className);
    std::optional<QVDomNode> firstDomNodeWithID(const QString& elementID);
    std::optional<QVDomNode> _findFirstNodeWithAttribute(const QString& attribute, const QString& value);
};
