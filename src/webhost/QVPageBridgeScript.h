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
// The calls that carry the page's state, and the expressions that read it.
struct Snapshot {
    QStringList expressions;
    QStringList calls; // "Object.method"
};
// `origin` is the only location.origin whose documents get the objects. The
// calls in `snapshot` are sent with the values of its expressions, read by
// the page at the moment of the call.
QString source(
    const QMap<QString, QStringList>& objects, const QString& origin, const Snapshot& snapshot = {});
// One array expression reading each of `expressions` as if alone: one that
// throws reads undefined and leaves the others alone.
QString batchExpression(const QStringList& expressions);
} // namespace QVPageBridgeScript
