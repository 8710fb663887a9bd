#pragma once

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QFont>
#include <QImage>
#include <QLocale>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <concepts>
#include <optional>

// Small helpers over Qt types that user-visible text, cache file names and
// request bodies are built with.
namespace QVUtils {

// Strings and data --------------------------------------------------------

// 40 lowercase hex digits.
QString SHA1String(const QByteArray& data);
// Over the string's UTF-16 code units in host byte order, no byte-order mark.
QString SHA1String(const QString& string);

// "m:ss" with unbounded minutes: 61 -> "1:01", 3600 -> "60:00".
QString stringWithSeconds(unsigned int seconds);

// "&" -> "%26", then ";" -> "%3b"; nothing else.
QString stringWithEscapedAmpersands(const QString& string);
// Every "/" and "." becomes a space.
QString safeFileNameStringValue(const QString& string);
// Every LF and CR becomes a space (CR LF: two spaces).
QString stringWithSpacedOutNewlineCharacters(const QString& string);
// Untrusted text for one log line: line breaks and other control characters
// escaped ("\n", "\xNN"), cut to `maxLength` characters with a marker.
QString stringForLog(const QString& string, int maxLength);
// Ready for a single-quoted JavaScript string: "'" and "\" get a backslash, and
// line terminators become escapes, so the literal always reads back as `string`.
QString stringWithEscapedSingleQuotes(const QString& string);

// 1 when `n` takes the plural form in the first preferred language, else 0.
// French and Portuguese use the singular for 0 and 1; others only for 1.
int pluralForm(int n);
int pluralForm(int n, const QStringList& preferredLanguages);
QString pluralize(int n, const QString& singular, const QString& plural);
QString pluralize(
    int n, const QString& singular, const QString& plural, const QStringList& preferredLanguages);

// The longest prefix that fits in `width` followed by "…"; the string itself
// when it fits; the ellipsis alone when nothing else fits, even if it is wider.
QString truncateForWidth(const QString& string, const QFont& font, int width);

// Numbers and dates --------------------------------------------------------

// The locale's grouping, at most three fraction digits.
QString stringWithDecimalStyle(qint64 value, const QLocale& locale = QLocale());
QString stringWithDecimalStyle(double value, const QLocale& locale = QLocale());
template <std::integral T> QString stringWithDecimalStyle(T value, const QLocale& locale = QLocale())
{
    return stringWithDecimalStyle(qint64(value), locale);
}

// "%.1f %s" in GB, MB, KB or bytes (no unit): 1536 -> "1.5 KB", 512 -> "512.0 ".
QString stringWithFileSize(double bytes);
// "N seconds" (seconds + 1), "N minutes" or "N hours"; negative spans count as 0.
QString stringWithFuzzyTimeFromSeconds(qint64 seconds);

// yyyy-MM-ddTHH:mm:ss with an optional fraction. A trailing "Z" or "GMT" means
// UTC, "+hh:mm" an offset, nothing the local time zone (as the platform's date
// formatter reads it). An invalid QDateTime when it does not parse.
QDateTime dateWithISOString(const QString& string);

// Colours and images ---------------------------------------------------------

// "#rrggbb" (anything after the sixth digit ignored); nullopt for text shorter
// than 7 characters. A pair that does not read as hex counts as 0.
std::optional<QColor> colorFromRGBHexString(const QString& string);
// Mirrored left to right.
QImage horizontalFlippedImage(const QImage& image);
// The image with every pixel's opacity scaled by `alpha` (0.0 to 1.0).
QImage imageWithAlphaLevel(const QImage& image, float alpha);

// System -----------------------------------------------------------------------

// True when a process named "iTunes.exe" runs (under Wine). `procRoot` is for tests.
bool isITunesRunning(const QString& procRoot = QStringLiteral("/proc"));
// True when a directory is at `path`, creating it and its parents if needed.
bool createPathDirectoriesIfNeeded(const QString& path);
// The system output volume, 0.0 to 1.0, through the platform's audio backend.
float systemVolume();
// Written as given, unclamped: the backend decides.
void setSystemVolume(float volume);

} // namespace QVUtils

// Every "[product_name]" replaced by the application's name.
QString QVStringWithBundleName(const QString& string);

// Frames as the user defaults store them: "{{x, y}, {w, h}}".
QString QVStringFromRect(const QRectF& rect);
// A null rectangle when the text is not a frame string.
QRectF QVRectFromString(const QString& string);
