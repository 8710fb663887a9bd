#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

// A native object the page can call by name on its window object. Only the
// exported methods are visible to the page; arguments arrive with their
// JavaScript types (string, double, bool, list, map, null) and are untrusted.
class QVScriptObject
{
public:
    virtual ~QVScriptObject() = default;
    virtual QStringList exportedMethods() const = 0;
    virtual void invokeScriptMethod(const QString& method, const QVariantList& arguments) = 0;
};
