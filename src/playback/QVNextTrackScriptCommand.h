#pragma once

#include "QVScriptCommand.h"

// The playback service's nextTrack, for another program.
class QVNextTrackScriptCommand : public QVScriptCommand
{
public:
    using QVScriptCommand::QVScriptCommand;
    void performDefaultImplementation() override;
};
