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

// Whether a value the page passed is a JavaScript number: whole numbers come
// over the channel as integers, others as doubles.
bool isNumber(const QVariant& value);

// A string as a JavaScript literal, safe to place in any script.
QString literal(const QString& text);

} // namespace QVScriptValue
