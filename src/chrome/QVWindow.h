#pragma once

#include <QWidget>

// The base of the program's own windows. Its title bar and feature switches
// come with the window chrome.
class QVWindow : public QWidget
{
    Q_OBJECT
public:
    explicit QVWindow(QWidget* parent = nullptr);
};
