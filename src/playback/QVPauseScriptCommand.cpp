#include "QVPauseScriptCommand.h"

#include "QVWebPlaybackService.h"

void QVPauseScriptCommand::performDefaultImplementation()
{
    // Never toggles into playing.
    if (playbackService()->playState() == QVPlayStatePlaying)
        playbackService()->playPause();
}
