#include "QVDialogPresenter.h"

#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>

namespace {
constexpr int kMaxMessageLength = 4096;

// Page text is shown as text: markup in it must not style the box or load anything.
QMessageBox* messageBox(
    QWidget* parent, const QString& message, QMessageBox::Icon icon, QMessageBox::StandardButtons buttons)
{
    auto* box
        = new QMessageBox(icon, QStringLiteral("Quiv"), message.left(kMaxMessageLength), buttons, parent);
    box->setTextFormat(Qt::PlainText);
    return box;
}
} // namespace

void QVDialogPresenter::showAlert(QWidget* parent, const QString& message)
{
    // Not modal: an alert never holds up the page or our own waits.
    QMessageBox* box = messageBox(parent, message, QMessageBox::Information, QMessageBox::Ok);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

bool QVDialogPresenter::askConfirm(QWidget* parent, const QString& message)
{
    // Guarded: the parent may go away, and take the box with it, while it is open.
    const QPointer<QMessageBox> box
        = messageBox(parent, message, QMessageBox::Question, QMessageBox::Ok | QMessageBox::Cancel);
    const bool confirmed = box->exec() == QMessageBox::Ok && box;
    delete box;
    return confirmed;
}

bool QVDialogPresenter::askPrompt(
    QWidget* parent, const QString& message, const QString& defaultValue, QString* result)
{
    const QPointer<QInputDialog> dialog = new QInputDialog(parent);
    dialog->setWindowTitle(QStringLiteral("Quiv"));
    dialog->setLabelText(message.left(kMaxMessageLength));
    for (QLabel* label : dialog->findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    dialog->setTextValue(defaultValue.left(kMaxMessageLength));
    const bool accepted = dialog->exec() == QDialog::Accepted && dialog;
    if (accepted)
        *result = dialog->textValue();
    delete dialog;
    return accepted;
}
