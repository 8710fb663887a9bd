#include "QVLocationWindow.h"

#include "QVLocalizedString.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr int kMaxLocationLength = 32 * 1024;
}

QVLocationWindow::QVLocationWindow(QWidget* parent)
    : QDialog(parent)
    , _locationTextField(new QLineEdit(this))
    , _closeButton(new QPushButton(QVLocalizedString("Cancel"), this))
    , _loadButton(new QPushButton(QVLocalizedString("Load"), this))
{
    setWindowTitle(QVLocalizedString("Open Location"));
    _locationTextField->setMaxLength(kMaxLocationLength);
    _locationTextField->setAccessibleName(QVLocalizedString("Address"));
    _locationTextField->setMinimumWidth(360);
    auto* label = new QLabel(QVLocalizedString("&Address:"), this);
    label->setBuddy(_locationTextField);

    // Return anywhere in the dialog presses the load button.
    _loadButton->setDefault(true);
    _loadButton->setAutoDefault(true);
    _closeButton->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(_closeButton, QDialogButtonBox::RejectRole);
    buttons->addButton(_loadButton, QDialogButtonBox::AcceptRole);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(_locationTextField);
    layout->addWidget(buttons);
    connect(_loadButton, &QPushButton::clicked, this, &QVLocationWindow::loadLocationRequested);
    connect(_closeButton, &QPushButton::clicked, this, &QVLocationWindow::closeDialog);
}

void QVLocationWindow::showLocation(const QString& location, QWidget* window)
{
    if (window && window != parentWidget())
        setParent(window, windowFlags());
    // A sheet: it blocks only the window it belongs to.
    setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    _locationTextField->setText(location);
    _locationTextField->selectAll();
    _locationTextField->setFocus();
    show();
    raise();
    activateWindow();
}

void QVLocationWindow::closeDialog()
{
    hide();
}
