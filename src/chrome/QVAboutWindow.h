#pragma once

#include "QVWindow.h"

// The about window. Its contents come with the preferences and about windows.
class QVAboutWindow : public QVWindow
{
    Q_OBJECT
public:
    explicit QVAboutWindow(QWidget* parent = nullptr);
};
