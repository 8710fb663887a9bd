#pragma once

#include <QObject>
#include <QString>

// Whoever routes an address the program was handed: a link, a "quiv://" URL
// from another program, or where a short link turned out to lead. The
// navigation controller implements it; lower layers hold it by QPointer.
class QVURLLoadHandler : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void handleURLLoad(const QString& url) = 0;
};
