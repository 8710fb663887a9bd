#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

// A native object the page can call by name on its window object. Only the
// exported methods are visible to the page; arguments arrive with their
// JavaScript types (string, number, bool, list, map, null) and are untrusted.
class QVScriptObject
{
public:
    virtual ~QVScriptObject() = default;
    virtual QStringList exportedMethods() const = 0;
    virtual void invokeScriptMethod(const QString& method, const QVariantList& arguments) = 0;

protected:
    // False, with a log line naming the call, unless exactly `count` arguments came.
    static bool _hasArgumentCount(
        const char* object, const QString& method, const QVariantList& arguments, int count);
    // A JavaScript number that is a whole 32-bit value.
    static std::optional<int> _intArgument(const QVariant& value);
    static void _logDropped(const char* object, const QString& method, const char* why);
};
