#include "QVMprisRootAdaptor.h"

#include "QVEventQueue.h"
#include "QVMprisService.h"

// Calls from the bus run through the event queue, never inside a read of the
// page; their replies carry nothing, so they go at once. Properties answer
// from the mirror.

QVMprisRootAdaptor::QVMprisRootAdaptor(QVMprisService* service)
    : QDBusAbstractAdaptor(service)
    , _service(service)
{
}

void QVMprisRootAdaptor::Raise()
{
    QVEventQueue::sharedInstance()->post(_service, [=, this] { _service->raise(); });
}

void QVMprisRootAdaptor::Quit()
{
    QVEventQueue::sharedInstance()->post(_service, [=, this] { _service->quit(); });
}
