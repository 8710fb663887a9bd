#include "QVLocalizedString.h"

#include <QCoreApplication>

QString QVLocalizedString(const char* key)
{
    return QCoreApplication::translate("Quiv", key);
}
