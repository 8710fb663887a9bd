#include "QVPageCallReceiver.h"

#include "QVWebView.h"

QVPageCallReceiver::QVPageCallReceiver(QVWebView* view)
    : QObject(nullptr)
    , _view(view)
{
}

void QVPageCallReceiver::call(const QString& object, const QString& method, const QVariantList& arguments)
{
    _view->_enqueueCall(object, method, arguments);
}

void QVPageCallReceiver::callWithSnapshot(
    const QString& object, const QString& method, const QVariantList& arguments, const QVariant& snapshot)
{
    // Never null: an absent snapshot is a plain call.
    _view->_enqueueCall(object, method, arguments, snapshot.isValid() ? snapshot : QVariant(QVariantList()));
}
