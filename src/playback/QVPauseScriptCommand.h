#pragma once

#include "QVScriptCommand.h"

// The playback service's pausing, for another program.
class QVPauseScriptCommand : public QVScriptCommand
{
public:
    using QVScriptCommand::QVScriptCommand;
    void performDefaultImplementation() override;
};
