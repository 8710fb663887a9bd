#pragma once

#include <QWidget>

// The background under navigation controls: "nav_bg" while its window is key
// or main, "nav_bg_inactive" otherwise, stretched over the whole view.
class QVNavigationBarView : public QWidget
{
    Q_OBJECT
public:
    explicit QVNavigationBarView(QWidget* parent = nullptr);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
