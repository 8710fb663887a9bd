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
const char kBridge[] = R"JS(
(function () {
  // Only the service's own page talks to us: any other document, or a frame
  // inside one, loses the channel's transport before its first script.
  if (window.top !== window || location.origin !== %4) {
    try { delete window.qt; } catch (e) { }
    return;
  }
%1
  var objects = %2;
  var pending = [];
  var host = null;
  function send(name, method, args) {
    if (host) host.call(name, method, args);
    else pending.push([name, method, args]);
  }
  Object.keys(objects).forEach(function (name) {
    var target = {};
    objects[name].forEach(function (method) {
      target[method] = function () { send(name, method, Array.prototype.slice.call(arguments)); };
    });
    window[name] = Object.freeze(target);
  });
  function connect(triesLeft) {
    if (typeof qt === 'object' && qt && qt.webChannelTransport) {
      new QWebChannel(qt.webChannelTransport, function (channel) {
        var receiver = channel.objects.%3;
        pending.forEach(function (c) { receiver.call(c[0], c[1], c[2]); });
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
    send(%5, %6, [name, href]);
  }
  window.addEventListener('click', reportTarget, true);
  window.addEventListener('auxclick', reportTarget, true);
})();
)JS";
} // namespace

QString source(const QMap<QString, QStringList>& objects, const QString& origin)
{
    QJsonObject table;
    for (auto it = objects.begin(); it != objects.end(); ++it)
        table.insert(it.key(), QJsonArray::fromStringList(it.value()));
    const QString json = QString::fromUtf8(QJsonDocument(table).toJson(QJsonDocument::Compact));
    return QString::fromLatin1(kBridge).arg(channelLibrary(), json, QString::fromLatin1(kHostObjectName),
        QVScriptValue::literal(origin), QVScriptValue::literal(QString::fromLatin1(kInternalObjectName)),
        QVScriptValue::literal(QString::fromLatin1(kLinkTargetMethod)),
        QString::number(QVLinkTargetTracker::kMaxNameLength),
        QString::number(QVNavigationController::kMaxURLLength));
}

} // namespace QVPageBridgeScript
