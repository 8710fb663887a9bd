#pragma once

#include <QString>

class QWidget;

// Shows the page's alert, confirm and prompt boxes. The default one uses Qt's
// standard dialogs; tests install one that answers without a window.
class QVDialogPresenter
{
public:
    virtual ~QVDialogPresenter() = default;
    virtual void showAlert(QWidget* parent, const QString& message);
    virtual bool askConfirm(QWidget* parent, const QString& message);
    virtual bool askPrompt(
        QWidget* parent, const QString& message, const QString& defaultValue, QString* result);
};
