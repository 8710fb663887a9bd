#include "QVPaths.h"

#include <QDir>
#include <QStandardPaths>

namespace QVPaths {

QString supportDirectory()
{
    // The generic location, so the organisation name adds no second level.
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Quiv");
}

QString cacheDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Quiv");
}

QString crashLogDirectory()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/Quiv/crashes");
}

} // namespace QVPaths
