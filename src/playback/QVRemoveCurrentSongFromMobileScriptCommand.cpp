#include "QVRemoveCurrentSongFromMobileScriptCommand.h"

#include "QVWebPlaybackService.h"

void QVRemoveCurrentSongFromMobileScriptCommand::performDefaultImplementation()
{
    playbackService()->removeCurrentSongFromMobile();
}
