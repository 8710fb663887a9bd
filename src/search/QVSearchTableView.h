#pragma once

#include <QTableView>

// The suggestion list: two columns (the group heading, 68 points, and the
// suggestion), no header, no highlight of its own (the cells draw it). The
// selection follows the mouse: it is moved from the mouse handlers, never
// from painting, which would only schedule another paint.
class QVSearchTableView : public QTableView
{
    Q_OBJECT
public:
    static constexpr int kCategoryColumnWidth = 68;

    explicit QVSearchTableView(QWidget* parent = nullptr);

    static QColor gridColor();

    bool isMouseOverView() const { return _isMouseOverView; }
    // The row under the mouse, -1 for none. Setting it selects that row, or
    // row 0 for none.
    int mouseOverRow() const { return _mouseOverRow; }
    void setMouseOverRow(int row);
    // Selects `row` alone; out of range leaves the selection as it is.
    void selectRowAlone(int row);
    int selectedRow() const;
    // All rows' heights together.
    int contentHeight() const;

signals:
    // A click on a row.
    void rowClicked(int row);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void _redrawRow(int row);
    void _mouseExited();

    bool _isMouseOverView = false;
    int _mouseOverRow = -1;
    int _lastOverRow = -1;
};
