#include "QVDockMenu.h"

QVDockMenu::QVDockMenu(const QString& title, QWidget* parent)
    : QMenu(title, parent)
{
}
