#include "QVUtils.h"

#include "QVConstants.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace QVUtils {

QString SHA1String(const QByteArray& data)
{
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
}

QString SHA1String(const QString& string)
{
    // The raw code units: cache file names made from it must not change.
    QCryptographicHash hash(QCryptographicHash::Sha1);
    hash.addData(QByteArrayView(
        reinterpret_cast<const char*>(string.utf16()), string.size() * qsizetype(sizeof(char16_t))));
    return QString::fromLatin1(hash.result().toHex());
}

QString stringWithSeconds(unsigned int seconds)
{
    return QString::asprintf("%u:%02u", seconds / 60, seconds % 60);
}

QString stringWithEscapedAmpersands(const QString& string)
{
    QString result = string;
    result.replace(u'&', QStringLiteral("%26"));
    result.replace(u';', QStringLiteral("%3b"));
    return result;
}

QString safeFileNameStringValue(const QString& string)
{
    QString result = string;
    result.replace(u'/', u' ');
    result.replace(u'.', u' ');
    return result;
}

QString stringWithSpacedOutNewlineCharacters(const QString& string)
{
    QString result = string;
    result.replace(u'\n', u' ');
    result.replace(u'\r', u' ');
    return result;
}

QString stringForLog(const QString& string, int maxLength)
{
    QString result;
    qsizetype i = 0;
    for (; i < string.size(); ++i) {
        const QChar c = string.at(i);
        const QChar::Category category = c.category();
        QString piece;
        if (c == u'\n')
            piece = QStringLiteral("\\n");
        else if (c == u'\r')
            piece = QStringLiteral("\\r");
        else if (category == QChar::Other_Control)
            piece = QString::asprintf("\\x%02x", unsigned(c.unicode()));
        else if (category == QChar::Separator_Line || category == QChar::Separator_Paragraph)
            piece = QString::asprintf("\\u%04x", unsigned(c.unicode()));
        else if (c.isHighSurrogate() && i + 1 < string.size() && string.at(i + 1).isLowSurrogate())
            piece = string.mid(i, 2); // a pair stays whole
        else
            piece = c;
        if (result.size() + piece.size() > maxLength)
            break;
        result += piece;
        i += piece.size() == 2 && c.isHighSurrogate() ? 1 : 0;
    }
    if (i < string.size())
        result += QStringLiteral("…[%1 more]").arg(string.size() - i);
    return result;
}

QString stringWithEscapedSingleQuotes(const QString& string)
{
    // Quotes alone are not enough: a backslash in the text would swallow the
    // escape and end the literal early, and a raw line break is a syntax error.
    QString result;
    result.reserve(string.size() + 8);
    for (const QChar c : string) {
        switch (c.unicode()) {
        case u'\\':
            result += QStringLiteral("\\\\");
            break;
        case u'\'':
            result += QStringLiteral("\\'");
            break;
        case u'\n':
            result += QStringLiteral("\\n");
            break;
        case u'\r':
            result += QStringLiteral("\\r");
            break;
        case 0x2028:
            result += QStringLiteral("\\u2028");
            break;
        case 0x2029:
            result += QStringLiteral("\\u2029");
            break;
        default:
            result += c;
        }
    }
    return result;
}

int pluralForm(int n)
{
    return pluralForm(n, QLocale::system().uiLanguages());
}

int pluralForm(int n, const QStringList& preferredLanguages)
{
    // "pt-BR", "fr_CA" and "fr" all count as their language.
    static const QRegularExpression separator(QStringLiteral("[-_@.]"));
    const QString first = preferredLanguages.value(0);
    const QString language = first.left(first.indexOf(separator)).toLower();
    if (language == QLatin1String("pt") || language == QLatin1String("fr"))
        return n > 1 ? 1 : 0;
    return n != 1 ? 1 : 0;
}

QString pluralize(int n, const QString& singular, const QString& plural)
{
    return pluralForm(n) == 1 ? plural : singular;
}

QString pluralize(
    int n, const QString& singular, const QString& plural, const QStringList& preferredLanguages)
{
    return pluralForm(n, preferredLanguages) == 1 ? plural : singular;
}

QString stringWithDecimalStyle(qint64 value, const QLocale& locale)
{
    return locale.toString(value);
}

QString stringWithDecimalStyle(double value, const QLocale& locale)
{
    QString result = locale.toString(value, 'f', 3);
    const QString point = locale.decimalPoint();
    if (!result.contains(point))
        return result;
    const QString zero = locale.zeroDigit();
    while (result.endsWith(zero))
        result.chop(zero.size());
    if (result.endsWith(point))
        result.chop(point.size());
    return result;
}

QString stringWithFileSize(double bytes)
{
    struct Unit {
        double size;
        const char* name;
    };
    static constexpr Unit units[] = { { 1073741824.0, "GB" }, { 1048576.0, "MB" }, { 1024.0, "KB" } };
    for (const Unit& unit : units) {
        if (bytes >= unit.size)
            return QString::asprintf("%.1f %s", bytes / unit.size, unit.name);
    }
    return QString::asprintf("%.1f ", bytes);
}

QString stringWithFuzzyTimeFromSeconds(qint64 seconds)
{
    // A span cannot be negative; the plain arithmetic would print "-59 seconds"
    // for a minute ago and never reach minutes or hours.
    const qint64 s = std::max<qint64>(seconds, 0);
    if (s < 60)
        return QString::asprintf("%lld seconds", s + 1);
    if (s < 3600)
        return QString::asprintf("%lld minutes", s / 60);
    return QString::asprintf("%lld hours", s / 3600);
}

QDateTime dateWithISOString(const QString& string)
{
    // The text comes from the page: bound it before matching.
    if (string.size() > 64)
        return {};
    static const QRegularExpression iso(
        QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})T(\\d{2}):(\\d{2}):(\\d{2})(?:\\.(\\d{1,9}))?"
                       "(Z| ?GMT|[+-]\\d{2}:?\\d{2})?$"));
    const QRegularExpressionMatch m = iso.match(string);
    if (!m.hasMatch())
        return {};
    const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    const int milliseconds = m.captured(7).leftJustified(3, u'0').left(3).toInt();
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt(), milliseconds);
    if (!date.isValid() || !time.isValid())
        return {};

    const QString zone = m.captured(8).trimmed();
    if (zone.isEmpty())
        return QDateTime(date, time, Qt::LocalTime);
    if (zone == QLatin1String("Z") || zone == QLatin1String("GMT"))
        return QDateTime(date, time, Qt::UTC);
    const QString digits = QString(zone).remove(u':');
    const int hours = digits.mid(1, 2).toInt();
    const int minutes = digits.mid(3, 2).toInt();
    if (hours > 23 || minutes > 59)
        return {};
    const int offset = (hours * 3600 + minutes * 60) * (zone.startsWith(u'-') ? -1 : 1);
    return QDateTime(date, time, Qt::OffsetFromUTC, offset);
}

} // namespace QVUtils

QString QVStringWithBundleName(const QString& string)
{
    QString name = QCoreApplication::applicationName();
    if (name.isEmpty())
        name = QString::fromLatin1(QVProductName);
    return QString(string).replace(QLatin1String(QVProductNamePlaceholder), name);
}

QString QVStringFromRect(const QRectF& rect)
{
    return QString::asprintf("{{%g, %g}, {%g, %g}}", rect.x(), rect.y(), rect.width(), rect.height());
}

QRectF QVRectFromString(const QString& string)
{
    // Stored settings can be edited by hand: read them strictly, but forgive spacing.
    if (string.size() > 256)
        return {};
    static const QRegularExpression frame = [] {
        const QString number = QStringLiteral("\\s*([-+]?(?:\\d+\\.?\\d*|\\.\\d+)(?:[eE][-+]?\\d+)?)\\s*");
        const QString pair = QStringLiteral("\\s*\\{") + number + u',' + number + QStringLiteral("\\}\\s*");
        return QRegularExpression(
            u'^' + QStringLiteral("\\s*\\{") + pair + u',' + pair + QStringLiteral("\\}\\s*$"));
    }();
    const QRegularExpressionMatch m = frame.match(string);
    if (!m.hasMatch())
        return {};
    double values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = m.captured(i + 1).toDouble(&ok);
        if (!ok || !std::isfinite(values[i]))
            return {};
    }
    return QRectF(values[0], values[1], values[2], values[3]);
}
