#include "QVAddCurrentSongToCollectionScriptCommand.h"

#include "QVWebPlaybackService.h"

void QVAddCurrentSongToCollectionScriptCommand::performDefaultImplementation()
{
    playbackService()->addCurrentSongToCollection();
}
