#pragma once

// Desktop notifications of the playing track and the page's notices. It
// exists from launch on; the notifications themselves come later.
class QVNoticeService
{
public:
    static QVNoticeService* sharedInstance();
};
