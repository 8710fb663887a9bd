#include "QVWindow.h"

QVWindow::QVWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
}
