#pragma once

#include "QVScriptObject.h"

class QVNoticeService;

// "NoticeScriptObject": the page asks for a desktop notice with
// showNotice(title, message), both percent-encoded (encodeURIComponent).
// Nothing else is visible to the page.
class QVNoticeScriptObject : public QVScriptObject
{
public:
    // The service is not owned and outlives this object.
    explicit QVNoticeScriptObject(QVNoticeService* noticeService);

    QStringList exportedMethods() const override;
    void invokeScriptMethod(const QString& method, const QVariantList& arguments) override;

    // Both decoded, then shown as a "Notice" without an icon.
    void showNotice(const QString& title, const QString& message);

    // Percent escapes replaced, read as UTF-8 (a broken sequence becomes
    // U+FFFD); a malformed escape stays as it is. Input beyond kMaxEncodedLength is not read, and the text is
    // cut to `maxLength` characters (never inside a surrogate pair).
    static QString decodedText(const QString& encoded, int maxLength);

    static constexpr int kMaxEncodedLength = 16 * 1024;

private:
    QVNoticeService* _noticeService;
};
