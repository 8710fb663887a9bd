#include "QVRemoveCurrentSongFromCollectionScriptCommand.h"

#include "QVWebPlaybackService.h"

void QVRemoveCurrentSongFromCollectionScriptCommand::performDefaultImplementation()
{
    playbackService()->removeCurrentSongFromCollection();
}
