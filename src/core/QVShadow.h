#pragma once

#include <QColor>
#include <QSizeF>

// A text shadow as the native controls draw it. The offset is in Qt's y-down
// coordinates: a negative height puts the shadow above the text.
struct QVShadow {
    QColor color;
    QSizeF offset;
    qreal blurRadius = 0.0;

    bool operator==(const QVShadow&) const = default;
};
