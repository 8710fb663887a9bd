#include "QVPlayScriptCommand.h"

#include "QVWebPlaybackService.h"

void QVPlayScriptCommand::performDefaultImplementation()
{
    const QVariant source = evaluatedArguments().value(QStringLiteral("source"));
    if (source.isValid()) {
        playbackService()->playSource(source.toString());
        return;
    }
    // Resumes only: a playing player is left alone.
    const QVPlayState state = playbackService()->playState();
    if (state == QVPlayStatePaused || state == QVPlayStateStopped)
        playbackService()->playPause();
}
