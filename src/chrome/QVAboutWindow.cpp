#include "QVAboutWindow.h"

QVAboutWindow::QVAboutWindow(QWidget* parent)
    : QVWindow(parent)
{
    setWindowTitle(QStringLiteral("About Quiv"));
    resize(360, 240);
}
