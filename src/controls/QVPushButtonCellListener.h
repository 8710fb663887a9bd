#pragma once

#include <QList>

class QVPushButton;
class QVPushButtonCell;

// Told where the pointer is on a push button. Every call is optional, with the
// button as the argument. A listener that goes away is forgotten by its cells.
class QVPushButtonCellListener
{
public:
    QVPushButtonCellListener() = default;
    // A copy listens to nothing until it is set on a cell.
    QVPushButtonCellListener(const QVPushButtonCellListener&) { }
    QVPushButtonCellListener& operator=(const QVPushButtonCellListener&) { return *this; }
    virtual ~QVPushButtonCellListener();

    virtual void onPushButtonCellMouseOver(QVPushButton*) { }
    virtual void onPushButtonCellMouseOut(QVPushButton*) { }
    virtual void onPushButtonCellMouseDown(QVPushButton*) { }
    virtual void onPushButtonCellMouseUp(QVPushButton*) { }

private:
    friend class QVPushButtonCell;
    QList<QVPushButtonCell*> _cells;
};
