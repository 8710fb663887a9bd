#include "QVSearchTableView.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

QVSearchTableView::QVSearchTableView(QWidget* parent)
    : QTableView(parent)
{
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    // The field keeps the keyboard.
    setFocusPolicy(Qt::NoFocus);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setMinimumSectionSize(1);
    setShowGrid(false);
    setFrameShape(QFrame::NoFrame);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    QPalette transparent = palette();
    transparent.setColor(QPalette::Base, Qt::transparent);
    transparent.setColor(QPalette::Window, Qt::transparent);
    // The cells draw the highlight themselves; the style's row panel must not.
    transparent.setColor(QPalette::Highlight, Qt::transparent);
    transparent.setColor(QPalette::Inactive, QPalette::Highlight, Qt::transparent);
    setPalette(transparent);
}

QColor QVSearchTableView::gridColor()
{
    return QColor::fromRgbF(0.843f, 0.843f, 0.847f, 1.0f);
}

int QVSearchTableView::selectedRow() const
{
    const QModelIndexList rows = selectionModel() ? selectionModel()->selectedRows() : QModelIndexList();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void QVSearchTableView::selectRowAlone(int row)
{
    if (!model() || row < 0 || row >= model()->rowCount() || !selectionModel())
        return;
    selectionModel()->select(
        model()->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void QVSearchTableView::setMouseOverRow(int row)
{
    _mouseOverRow = row;
    if (row >= 0)
        selectRowAlone(row);
    else
        selectRowAlone(0);
}

int QVSearchTableView::contentHeight() const
{
    const int rows = model() ? model()->rowCount() : 0;
    int height = 0;
    for (int row = 0; row < rows; ++row)
        height += rowHeight(row);
    return height;
}

void QVSearchTableView::_redrawRow(int row)
{
    if (row >= 0 && model() && row < model()->rowCount())
        viewport()->update(0, rowViewportPosition(row), viewport()->width(), rowHeight(row));
}

void QVSearchTableView::paintEvent(QPaintEvent* event)
{
    QTableView::paintEvent(event);
    // The one vertical grid line, stopping where the rows do.
    QPainter painter(viewport());
    painter.setPen(QPen(gridColor(), 1.0));
    const qreal x = columnWidth(0) - 0.5;
    const int bottom = std::min(viewport()->height(), contentHeight() - verticalScrollBar()->value());
    if (bottom > 0)
        painter.drawLine(QPointF(x, 0), QPointF(x, bottom));
}

void QVSearchTableView::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    setColumnWidth(0, kCategoryColumnWidth);
}

bool QVSearchTableView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::Enter)
        _isMouseOverView = true;
    else if (event->type() == QEvent::Leave)
        _mouseExited();
    return QTableView::viewportEvent(event);
}

void QVSearchTableView::_mouseExited()
{
    _isMouseOverView = false;
    _redrawRow(_mouseOverRow);
    _lastOverRow = -1;
    setMouseOverRow(-1);
}

void QVSearchTableView::mouseMoveEvent(QMouseEvent* event)
{
    _isMouseOverView = true;
    const int row = rowAt(event->position().toPoint().y());
    if (row != _lastOverRow) {
        _redrawRow(_lastOverRow);
        _lastOverRow = row;
        _redrawRow(row);
    }
    if (row != _mouseOverRow || selectedRow() != (row >= 0 ? row : 0))
        setMouseOverRow(row);
}

void QVSearchTableView::mousePressEvent(QMouseEvent* event)
{
    // The selection is the mouse's: nothing to drag or extend.
    event->accept();
}

void QVSearchTableView::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() != Qt::LeftButton)
        return;
    const int row = rowAt(event->position().toPoint().y());
    if (row < 0)
        return;
    selectRowAlone(row);
    emit rowClicked(row);
}

void QVSearchTableView::mouseDoubleClickEvent(QMouseEvent* event)
{
    event->accept();
}
