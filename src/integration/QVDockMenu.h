#pragma once

#include <QMenu>

// The tray icon's menu. Its playback items come with the menus.
class QVDockMenu : public QMenu
{
    Q_OBJECT
public:
    explicit QVDockMenu(const QString& title, QWidget* parent = nullptr);
};
