#include "QVPushButtonCellListener.h"

#include "QVPushButtonCell.h"

QVPushButtonCellListener::~QVPushButtonCellListener()
{
    // Cells do not own their listener: make sure none calls a dead one.
    const QList<QVPushButtonCell*> cells = _cells;
    for (QVPushButtonCell* cell : cells)
        cell->setPushButtonCellListener(nullptr);
}
