#include "QVPageBridgeScript.h"

#include "QVLinkTargetTracker.h"
#include "QVNavigationController.h"
#include "QVScriptValue.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace QVPageBridgeScript {

namespace {
QString channelLibrary()
{
    static const QString text = [] {
        QFile file(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }();
    return text;
}

// The channel library stays inside the closure: the page sees only our objects.
// The snapshot function is made outside it, so its expressions see only the
// page's globals, as reads do.
const char kBridge[] = R"JS(
(function (readSnapshot) {
  // Only the service's own page talks to us: any other document, or a frame
  // inside one, loses the channel's transport before its first script.
  if (window.top !== window || location.origin !== %4) {
    try { delete window.qt; } catch (e) { }
    return;
  }
%1
  var objects = %2;
  var snapshotCalls = %9;
  var pending = [];
  var host = null;
  function deliver(receiver, c) {
    if (c[3]) receiver.callWithSnapshot(c[0], c[1], c[2], c[3]);
    else receiver.call(c[0], c[1], c[2]);
  }
  // Values only, as the engine hands a read's result over: a date is its
  // time (0 when invalid), a pattern its text, any other object reads "".
  var dateTime = Date.prototype.getTime, patternText = RegExp.prototype.toString;
  function snapshot() {
    return readSnapshot().map(function (v) {
      var type = typeof v;
      if (type === 'string' || type === 'number' || type === 'boolean') return v;
      try {
        if (v instanceof Date) return dateTime.call(v) || 0;
        if (v instanceof RegExp) return patternText.call(v);
      } catch (e) { }
      return null;
    });
  }
  function send(name, method, args, withSnapshot) {
    var c = [name, method, args, withSnapshot ? snapshot() : null];
    if (host) deliver(host, c);
    else pending.push(c);
  }
  Object.keys(objects).forEach(function (name) {
    var target = {};
    objects[name].forEach(function (method) {
      var withSnapshot = snapshotCalls.indexOf(name + '.' + method) !== -1;
      target[method] = function () { send(name, method, Array.prototype.slice.call(arguments), withSnapshot); };
    });
    window[name] = Object.freeze(target);
  });
  function connect(triesLeft) {
    if (typeof qt === 'object' && qt && qt.webChannelTransport) {
      new QWebChannel(qt.webChannelTransport, function (channel) {
        var receiver = channel.objects.%3;
        pending.forEach(function (c) { deliver(receiver, c); });
        pending = [];
        host = receiver;
      });
    } else if (triesLeft > 0) {
      setTimeout(function () { connect(triesLeft - 1); }, 1);
    }
  }
  connect(2000);
  // The engine asks us for a new window without the link's target name:
  // report it on the click, before the engine acts on the link.
  function reportTarget(event) {
    if (event.type === 'auxclick' && event.button !== 1) return;
    var path = event.composedPath();
    var link = null;
    for (var i = 0; i < path.length && !link; ++i) {
      var node = path[i];
      if ((node.localName === 'a' || node.localName === 'area') && node.hasAttribute('href')) link = node;
    }
    if (!link) return;
    var name = link.getAttribute('target');
    if (name === null) {
      var base = document.querySelector('base[target]');
      name = base ? base.getAttribute('target') : '';
    }
    var lower = String(name).toLowerCase();
    var href = link.href;
    if (!name || lower === '_self' || lower === '_parent' || lower === '_top' || lower === '_blank'
        || typeof href !== 'string' || name.length > %7 || href.length > %8) return;
    send(%5, %6, [name, href], false);
  }
  window.addEventListener('click', reportTarget, true);
  window.addEventListener('auxclick', reportTarget, true);
})(function () { return %10; });
)JS";

// Scripts given to a batch are expressions; a trailing semicolon is allowed.
QString asExpression(QString script)
{
    script = script.trimmed();
    while (script.endsWith(u';'))
        script.chop(1);
    return script;
}
} // namespace

QString source(const QMap<QString, QStringList>& objects, const QString& origin, const Snapshot& snapshot)
{
    QJsonObject table;
    for (auto it = objects.begin(); it != objects.end(); ++it)
        table.insert(it.key(), QJsonArray::fromStringList(it.value()));
    const auto json = [](const auto& value) {
        return QString::fromUtf8(QJsonDocument(value).toJson(QJsonDocument::Compact));
    };
    // One pass of arg(): a value's own "%1" is never filled in.
    return QString::fromLatin1(kBridge).arg(channelLibrary(), json(table),
        QString::fromLatin1(kHostObjectName), QVScriptValue::literal(origin),
        QVScriptValue::literal(QString::fromLatin1(kInternalObjectName)),
        QVScriptValue::literal(QString::fromLatin1(kLinkTargetMethod)),
        QString::number(QVLinkTargetTracker::kMaxNameLength),
        QString::number(QVNavigationController::kMaxURLLength),
        json(QJsonArray::fromStringList(snapshot.calls)), batchExpression(snapshot.expressions));
}

QString batchExpression(const QStringList& expressions)
{
    QStringList parts;
    parts.reserve(expressions.size());
    for (const QString& expression : expressions)
        parts.append(QStringLiteral("(function(){try{return (%1\n);}catch(e){return undefined;}})()")
                         .arg(asExpression(expression)));
    return QLatin1Char('[') + parts.join(QLatin1Char(',')) + QLatin1Char(']');
}

} // namespace QVPageBridgeScript
