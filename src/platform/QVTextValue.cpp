#include "QVTextValue.h"

#include <climits>
#include <cstdlib>

namespace QVTextValue {

int intValue(const QString& text)
{
    int i = 0;
    const int size = int(text.size());
    while (i < size && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < size && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    long long value = 0;
    bool saturated = false;
    for (; i < size && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        if (saturated)
            continue;
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > 2147483648LL)
            saturated = true;
    }
    if (negative)
        value = -value;
    if (saturated || value > INT_MAX)
        return negative ? INT_MIN : INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return int(value);
}

float floatValue(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    const char* p = bytes.constData();
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    // Decimal only: strtof would also take hex, "inf" and "nan".
    const char* q = p;
    if (*q == '+' || *q == '-')
        ++q;
    const bool digitFirst = (*q >= '0' && *q <= '9') || (*q == '.' && q[1] >= '0' && q[1] <= '9');
    if (!digitFirst || (q[0] == '0' && (q[1] == 'x' || q[1] == 'X')))
        return 0.0f;
    return std::strtof(p, nullptr);
}

bool boolValue(const QString& text)
{
    int i = 0;
    const int size = int(text.size());
    while (i < size && text[i].isSpace())
        ++i;
    if (i < size && (text[i] == u'+' || text[i] == u'-'))
        ++i;
    while (i < size && text[i] == u'0')
        ++i;
    if (i >= size)
        return false;
    const QChar c = text[i];
    return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
}

} // namespace QVTextValue
