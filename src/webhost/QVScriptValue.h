#pragma once

#include <QString>
#include <QVariant>

// Conversions between script results and native values, by the rules the
// rest of the program reads page text with.
namespace QVScriptValue {

// The engine's text of a completion value (see QVAbstractWebView::evaluate).
QString textFromVariant(const QVariant& value);
// JavaScript's Number.prototype.toString(): shortest round-trip digits.
QString numberText(double value);

// Leading blanks, optional sign, decimal digits; no digits gives 0; saturates.
int intValue(const QString& text);
// Leading blanks, then the longest decimal floating-point prefix; none gives 0.
float floatValue(const QString& text);
// Leading blanks, sign and zeros skipped; Y, y, T, t or 1-9 next means true.
bool boolValue(const QString& text);

// A string as a JavaScript literal, safe to place in any script.
QString literal(const QString& text);

} // namespace QVScriptValue
