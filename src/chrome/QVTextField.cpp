#include "QVTextField.h"

#include "QVConstants.h"
#include "QVNotificationCenter.h"

QVTextField::QVTextField(QWidget* parent, QVNotificationCenter* center)
    : QLineEdit(parent)
    , _center(center ? center : QVNotificationCenter::defaultCenter())
{
}

void QVTextField::focusInEvent(QFocusEvent* event)
{
    _center->postNotificationName(QString::fromLatin1(QVTextFieldDidBecomeFirstResponderNotification), this);
    QLineEdit::focusInEvent(event);
}
