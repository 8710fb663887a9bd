#include "QVPreviousTrackScriptCommand.h"

#include "QVWebPlaybackService.h"

void QVPreviousTrackScriptCommand::performDefaultImplementation()
{
    playbackService()->previousTrack();
}
