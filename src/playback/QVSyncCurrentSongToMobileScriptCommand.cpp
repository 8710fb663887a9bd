#include "QVSyncCurrentSongToMobileScriptCommand.h"

#include "QVWebPlaybackService.h"

void QVSyncCurrentSongToMobileScriptCommand::performDefaultImplementation()
{
    playbackService()->syncCurrentSongToMobile();
}
