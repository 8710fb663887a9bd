#include "QVMiniPlayerWindow.h"

QVMiniPlayerWindow::QVMiniPlayerWindow(QWidget* parent)
    : QVWindow(parent)
{
    setWindowTitle(QStringLiteral("Quiv"));
    resize(320, 80);
}
