#include "QVUtils.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace {
int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}
} // namespace

namespace QVUtils {

QString truncateForWidth(const QString& string, const QFont& font, int width)
{
    const QFontMetricsF metrics(font);
    if (string.isEmpty() || metrics.horizontalAdvance(string) <= width)
        return string;

    const QString ellipsis(QChar(0x2026));
    // Never cut between the halves of a surrogate pair.
    auto prefixLength
        = [&](qsizetype k) { return (k > 0 && string.at(k - 1).isHighSurrogate()) ? k - 1 : k; };
    auto fits = [&](qsizetype k) { return metrics.horizontalAdvance(string.left(k) + ellipsis) <= width; };

    // Titles come from the page and can be long: search the prefix length
    // instead of measuring once per character. The first candidate keeps all
    // but the last two characters, the shortest keeps one.
    qsizetype best = 0;
    qsizetype low = 1;
    qsizetype high = string.size() - 2;
    while (low <= high) {
        const qsizetype middle = low + (high - low) / 2;
        const qsizetype k = prefixLength(middle);
        if (k > 0 && fits(k)) {
            best = std::max(best, k);
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return best > 0 ? string.left(best) + ellipsis : ellipsis;
}

std::optional<QColor> colorFromRGBHexString(const QString& string)
{
    if (string.size() < 7)
        return std::nullopt;
    const QStringView digits = string.startsWith(u'#') ? QStringView(string).mid(1) : QStringView(string);
    // Leading hex digits of the pair, as a scanner would read them; none reads as 0.
    auto component = [&](qsizetype at) {
        int value = 0;
        for (qsizetype i = at; i < at + 2; ++i) {
            const int digit = hexValue(digits.at(i));
            if (digit < 0)
                break;
            value = value * 16 + digit;
        }
        return value;
    };
    return QColor(component(0), component(2), component(4));
}

QImage horizontalFlippedImage(const QImage& image)
{
    return image.mirrored(true, false);
}

QImage imageWithAlphaLevel(const QImage& image, float alpha)
{
    if (image.isNull())
        return {};
    QImage result(image.size(), QImage::Format_ARGB32_Premultiplied);
    result.setDevicePixelRatio(image.devicePixelRatio());
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setOpacity(std::clamp(alpha, 0.0f, 1.0f));
    painter.drawImage(QPointF(0, 0), image);
    painter.end();
    return result;
}

} // namespace QVUtils
