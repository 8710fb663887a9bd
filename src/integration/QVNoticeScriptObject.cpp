#include "QVNoticeScriptObject.h"

#include "QVNoticeService.h"

#include <QVariant>

#include <cctype>

namespace {
const char kName[] = "NoticeScriptObject";
const QString kShowNotice = QStringLiteral("showNotice");
} // namespace

QVNoticeScriptObject::QVNoticeScriptObject(QVNoticeService* noticeService)
    : _noticeService(noticeService)
{
}

QStringList QVNoticeScriptObject::exportedMethods() const
{
    return { kShowNotice };
}

void QVNoticeScriptObject::invokeScriptMethod(const QString& method, const QVariantList& arguments)
{
    if (method != kShowNotice) {
        _logDropped(kName, method, "not an exported method");
        return;
    }
    if (!_hasArgumentCount(kName, method, arguments, 2))
        return;
    for (const QVariant& argument : arguments)
        if (argument.typeId() != QMetaType::QString) {
            _logDropped(kName, method, "the title and message must be strings");
            return;
        }
    showNotice(arguments[0].toString(), arguments[1].toString());
}

void QVNoticeScriptObject::showNotice(const QString& title, const QString& message)
{
    _noticeService->showNotice(decodedText(title, QVNoticeService::kMaxSummaryLength),
        decodedText(message, QVNoticeService::kMaxBodyLength));
}

QString QVNoticeScriptObject::decodedText(const QString& encoded, int maxLength)
{
    // Only well-formed escapes are replaced: "%zz" or a lone "%" stay as they are.
    const QByteArray bytes = encoded.left(kMaxEncodedLength).toUtf8();
    QByteArray decoded;
    decoded.reserve(bytes.size());
    const auto hex = [](char c) {
        return std::isdigit(uchar(c)) ? c - '0' : std::isxdigit(uchar(c)) ? (c | 0x20) - 'a' + 10 : -1;
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const int high = i + 2 < bytes.size() && bytes[i] == '%' ? hex(bytes[i + 1]) : -1;
        const int low = high >= 0 ? hex(bytes[i + 2]) : -1;
        if (low >= 0) {
            decoded.append(char(high * 16 + low));
            i += 2;
        } else {
            decoded.append(bytes[i]);
        }
    }
    QString text = QString::fromUtf8(decoded);
    if (text.size() > maxLength) {
        qsizetype end = maxLength;
        if (end > 0 && text.at(end - 1).isHighSurrogate())
            --end;
        text.truncate(end);
    }
    return text;
}
