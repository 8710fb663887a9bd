#include "QVLocationWindow.h"

#include "QVLocalizedString.h"

#include <QLineEdit>
#include <QVBoxLayout>

namespace {
constexpr int kMaxLocationLength = 32 * 1024;
}

QVLocationWindow::QVLocationWindow(QWidget* parent)
    : QDialog(parent)
    , _locationTextField(new QLineEdit(this))
{
    setWindowTitle(QVLocalizedString("Open Location"));
    _locationTextField->setMaxLength(kMaxLocationLength);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(_locationTextField);
    connect(_locationTextField, &QLineEdit::returnPressed, this, &QVLocationWindow::loadLocationRequested);
}

void QVLocationWindow::showLocation(const QString& location, QWidget* window)
{
    if (window && window != parentWidget())
        setParent(window, windowFlags());
    setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    _locationTextField->setText(location);
    _locationTextField->selectAll();
    show();
    raise();
    activateWindow();
}

void QVLocationWindow::closeDialog()
{
    hide();
}
