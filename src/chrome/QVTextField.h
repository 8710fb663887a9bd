#pragma once

#include <QLineEdit>

class QVNotificationCenter;

// A text field that announces when it takes keyboard focus, so the title
// bar stops treating typing as a reason to drag.
class QVTextField : public QLineEdit
{
    Q_OBJECT
public:
    explicit QVTextField(QWidget* parent = nullptr, QVNotificationCenter* center = nullptr);

protected:
    void focusInEvent(QFocusEvent* event) override;

private:
    QVNotificationCenter* _center;
};
