#include "QVDialogPresenter.h"

#include <QInputDialog>
#include <QMessageBox>

void QVDialogPresenter::showAlert(QWidget* parent, const QString& message)
{
    // Not modal: an alert never holds up the page or our own waits.
    auto* box = new QMessageBox(
        QMessageBox::Information, QStringLiteral("Quiv"), message.left(4096), QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

bool QVDialogPresenter::askConfirm(QWidget* parent, const QString& message)
{
    return QMessageBox::question(
               parent, QStringLiteral("Quiv"), message.left(4096), QMessageBox::Ok | QMessageBox::Cancel)
        == QMessageBox::Ok;
}

bool QVDialogPresenter::askPrompt(
    QWidget* parent, const QString& message, const QString& defaultValue, QString* result)
{
    bool ok = false;
    *result = QInputDialog::getText(
        parent, QStringLiteral("Quiv"), message.left(4096), QLineEdit::Normal, defaultValue, &ok);
    return ok;
}
