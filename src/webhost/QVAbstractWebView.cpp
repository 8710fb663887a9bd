#include "QVAbstractWebView.h"

#include "QVScriptValue.h"
#include "QVTextValue.h"

#include <QJsonDocument>
#include <QJsonObject>

void QVAbstractWebView::executeJavascript(const QString& script)
{
    evaluate(script);
}

QString QVAbstractWebView::javascriptStringValue(const QString& script)
{
    return evaluate(script);
}

int QVAbstractWebView::javascriptIntValue(const QString& script)
{
    return QVTextValue::intValue(evaluate(script));
}

float QVAbstractWebView::javascriptFloatValue(const QString& script)
{
    return QVTextValue::floatValue(evaluate(script));
}

bool QVAbstractWebView::javascriptBoolValue(const QString& script)
{
    return QVTextValue::boolValue(evaluate(script));
}

std::optional<QVDomNode> QVAbstractWebView::firstDomNodeForClass(const QString& className)
{
    return _findFirstNodeWithAttribute(QStringLiteral("class"), className);
}

std::optional<QVDomNode> QVAbstractWebView::firstDomNodeWithID(const QString& elementID)
{
    return _findFirstNodeWithAttribute(QStringLiteral("id"), elementID);
}

std::optional<QVDomNode> QVAbstractWebView::_findFirstNodeWithAttribute(
    const QString& attribute, const QString& value)
{
    // The walk runs in the page in one round trip. A stack, children pushed
    // first to last, so the last child of each node is visited first; whole,
    // case-sensitive comparison of the attribute's name and value.
    static const QString walk = QStringLiteral(
        "(function(name, value) {"
        "  var stack = document.documentElement ? [document.documentElement] : [];"
        "  while (stack.length) {"
        "    var node = stack.pop();"
        "    var attrs = node.attributes;"
        "    if (attrs) {"
        "      for (var i = 0; i < attrs.length; i++) {"
        "        var a = attrs.item(i);"
        "        if (a.nodeName === name && a.nodeValue === value) {"
        "          var r = node.getBoundingClientRect();"
        "          return JSON.stringify({tag: node.tagName, id: node.id || '',"
        "            cls: node.getAttribute('class') || '', x: r.left, y: r.top, w: r.width, h: r.height});"
        "        }"
        "      }"
        "    }"
        "    var kids = node.childNodes;"
        "    for (var j = 0; j < kids.length; j++) stack.push(kids[j]);"
        "  }"
        "  return '';"
        "})(%1, %2)");
    const QString text = evaluate(walk.arg(QVScriptValue::literal(attribute), QVScriptValue::literal(value)));
    if (text.isEmpty())
        return std::nullopt;
    const QJsonObject found = QJsonDocument::fromJson(text.toUtf8()).object();
    if (found.isEmpty())
        return std::nullopt;
    return QVDomNode { found.value(QStringLiteral("tag")).toString(),
        found.value(QStringLiteral("id")).toString(), found.value(QStringLiteral("cls")).toString(),
        QRectF(found.value(QStringLiteral("x")).toDouble(), found.value(QStringLiteral("y")).toDouble(),
            found.value(QStringLiteral("w")).toDouble(), found.value(QStringLiteral("h")).toDouble()) };
}
