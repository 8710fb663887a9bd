#pragma once

#include <QWidget>

// The light panel behind the match window's history, with a darker line along
// its top edge.
class QVCollectionStatsView : public QWidget
{
    Q_OBJECT
public:
    explicit QVCollectionStatsView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
