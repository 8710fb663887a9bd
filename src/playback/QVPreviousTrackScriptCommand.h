#pragma once

#include "QVScriptCommand.h"

// The playback service's previousTrack, for another program.
class QVPreviousTrackScriptCommand : public QVScriptCommand
{
public:
    using QVScriptCommand::QVScriptCommand;
    void performDefaultImplementation() override;
};
