#pragma once

#include <QString>

// A user-visible string by its English text, through Qt's translator.
QString QVLocalizedString(const char* key);
