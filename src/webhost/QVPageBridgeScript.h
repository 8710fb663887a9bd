#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// The script injected into every document at creation: it defines each
// script object on window with exactly its methods, queues calls until the web
// channel is connected, then hands them over in order.
namespace QVPageBridgeScript {
inline constexpr char kHostObjectName[] = "quivHost";
// Calls for the view itself, under a name no script object can have.
inline constexpr char kInternalObjectName[] = "#view";
// [name, address] of a followed link with a named target.
inline constexpr char kLinkTargetMethod[] = "linkTarget";
// `origin` is the only location.origin whose documents get the objects.
QString source(const QMap<QString, QStringList>& objects, const QString& origin);
} // namespace QVPageBridgeScript
