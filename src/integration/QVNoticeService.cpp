#include "QVNoticeService.h"

QVNoticeService* QVNoticeService::sharedInstance()
{
    static auto* service = new QVNoticeService();
    return service;
}
