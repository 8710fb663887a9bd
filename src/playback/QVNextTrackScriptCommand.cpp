#include "QVNextTrackScriptCommand.h"

#include "QVWebPlaybackService.h"

void QVNextTrackScriptCommand::performDefaultImplementation()
{
    playbackService()->nextTrack();
}
