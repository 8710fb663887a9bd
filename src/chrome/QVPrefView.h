#pragma once

#include <QWidget>

// A pane of the preferences window: an etched line along its lower edge
// separates it from the next.
class QVPrefView : public QWidget
{
    Q_OBJECT
public:
    explicit QVPrefView(QWidget* parent = nullptr);

    static QColor separatorColor() { return QColor(202, 202, 202); }
    // The grey line; a white one lies just below it.
    QRect separatorRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
