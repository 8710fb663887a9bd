#include "QVMprisRootAdaptor.h"

#include "QVMprisService.h"

QVMprisRootAdaptor::QVMprisRootAdaptor(QVMprisService* service)
    : QDBusAbstractAdaptor(service)
    , _service(service)
{
}

void QVMprisRootAdaptor::Raise()
{
    _service->raise();
}

void QVMprisRootAdaptor::Quit()
{
    _service->quit();
}
