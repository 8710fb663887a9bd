#pragma once

#include <QObject>
#include <QVariantList>

class QVWebView;

// The one object the page's bridge script talks to over the web channel. It
// only queues: the view dispatches outside any read.
class QVPageCallReceiver : public QObject
{
    Q_OBJECT
public:
    explicit QVPageCallReceiver(QVWebView* view);

    Q_INVOKABLE void call(const QString& object, const QString& method, const QVariantList& arguments);
    // A report with the page's state at the moment it was made.
    Q_INVOKABLE void callWithSnapshot(const QString& object, const QString& method,
        const QVariantList& arguments, const QVariant& snapshot);

private:
    QVWebView* _view;
};
