#include "QVScriptObject.h"

#include "QVLog.h"
#include "QVScriptValue.h"
#include "QVUtils.h"

#include <cmath>
#include <limits>

bool QVScriptObject::_hasArgumentCount(
    const char* object, const QString& method, const QVariantList& arguments, int count)
{
    if (arguments.size() == count)
        return true;
    QVLog("[WARNING] Dropped page call %s.%s: %d arguments where %d were expected", object,
        qPrintable(QVUtils::stringForLog(method, 100)), int(arguments.size()), count);
    return false;
}

std::optional<int> QVScriptObject::_intArgument(const QVariant& value)
{
    if (!QVScriptValue::isNumber(value))
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || number != std::trunc(number) || number < std::numeric_limits<int>::min()
        || number > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(number);
}

void QVScriptObject::_logDropped(const char* object, const QString& method, const char* why)
{
    QVLog(
        "[WARNING] Dropped page call %s.%s: %s", object, qPrintable(QVUtils::stringForLog(method, 100)), why);
}
