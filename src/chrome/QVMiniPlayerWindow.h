#pragma once

#include "QVWindow.h"

// The compact player. Its controls come with the mini player.
class QVMiniPlayerWindow : public QVWindow
{
    Q_OBJECT
public:
    explicit QVMiniPlayerWindow(QWidget* parent = nullptr);
};
