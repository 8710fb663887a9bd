#pragma once

#include "QVScriptCommand.h"

// The playback service's playPause, for another program.
class QVPlayPauseScriptCommand : public QVScriptCommand
{
public:
    using QVScriptCommand::QVScriptCommand;
    void performDefaultImplementation() override;
};
