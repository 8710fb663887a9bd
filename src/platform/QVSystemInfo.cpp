#include "QVSystemInfo.h"

#include <QtGlobal>

namespace QVSystemInfo {

QString productVersion()
{
    if (qEnvironmentVariableIsSet("QUIV_SYSTEM_VERSION"))
        return qEnvironmentVariable("QUIV_SYSTEM_VERSION");
    return QStringLiteral("10.10");
}

} // namespace QVSystemInfo
