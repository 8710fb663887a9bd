#pragma once

#include <QString>

// How text reads as a number or a flag, wherever values arrive as text: page
// results, settings stored in INI files.
namespace QVTextValue {

// Leading blanks, optional sign, decimal digits; no digits gives 0; saturates
// at the int limits.
int intValue(const QString& text);
// Leading blanks, then the longest decimal floating-point prefix; none gives 0.
float floatValue(const QString& text);
// Leading blanks, a sign and zeros skipped; Y, y, T, t or 1-9 next means true.
bool boolValue(const QString& text);

} // namespace QVTextValue
