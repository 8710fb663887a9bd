#include "QVPlayPauseScriptCommand.h"

#include "QVWebPlaybackService.h"

void QVPlayPauseScriptCommand::performDefaultImplementation()
{
    playbackService()->playPause();
}
