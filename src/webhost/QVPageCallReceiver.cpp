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
    _view->_enqueueCall(object, method, arguments, snapshot);
}
