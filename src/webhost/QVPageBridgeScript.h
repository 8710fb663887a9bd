#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The script injected into every document at creation: it defines each
// script object on window with exactly its methods, queues calls until the web
// channel is connected, then hands them over in order.
namespace QVPageBridgeScript {
inline constexpr char kHostObjectName[] = "quivHost";
// `origin` is the only location.origin whose documents get the objects.
QString source(const QMap<QString, QStringList>& objects, const QString& origin);
} // namespace QVPageBridgeScript
