#include "QVScriptValue.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace QVScriptValue {

QString numberText(double value)
{
    if (!std::isfinite(value))
        return {};
    if (value == 0.0)
        return QStringLiteral("0"); // -0 prints as 0 too

    // Shortest round-trip digits in scientific form: d[.ddd]e±x.
    char buffer[64];
    const auto [end, ec]
        = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    if (ec != std::errc())
        return {};
    const std::string sci(buffer, end);
    const bool negative = sci[0] == '-';
    const size_t mantissaStart = negative ? 1 : 0;
    const size_t ePos = sci.find('e');
    std::string digits;
    for (size_t i = mantissaStart; i < ePos; ++i)
        if (sci[i] != '.')
            digits += sci[i];
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const int exponent = std::atoi(sci.c_str() + ePos + 1);
    const int k = int(digits.size());
    const int n = exponent + 1; // the decimal point sits after n digits

    std::string out = negative ? "-" : "";
    if (k <= n && n <= 21) {
        out += digits + std::string(size_t(n - k), '0');
    } else if (0 < n && n <= 21) {
        out += digits.substr(0, size_t(n)) + "." + digits.substr(size_t(n));
    } else if (-6 < n && n <= 0) {
        out += "0." + std::string(size_t(-n), '0') + digits;
    } else {
        out += digits.substr(0, 1);
        if (k > 1)
            out += "." + digits.substr(1);
        out += (n - 1 >= 0) ? "e+" : "e-";
        out += std::to_string(std::abs(n - 1));
    }
    return QString::fromStdString(out);
}

QString textFromVariant(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (isNumber(value))
        return numberText(value.toDouble());
    return {}; // null, undefined, objects, arrays and errors
}

bool isNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

QString literal(const QString& text)
{
    // A JSON string is a valid JavaScript string literal, except that U+2028 and
    // U+2029 end a line in older engines: escape them as well.
    QString json = QString::fromUtf8(QJsonDocument(QJsonArray { text }).toJson(QJsonDocument::Compact));
    json = json.mid(1, json.size() - 2);
    json.replace(QChar(0x2028), QStringLiteral("\\u2028"));
    json.replace(QChar(0x2029), QStringLiteral("\\u2029"));
    return json;
}

} // namespace QVScriptValue
