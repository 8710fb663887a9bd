#pragma once

#include "QVScriptCommand.h"

// The playback service's syncCurrentSongToMobile, for another program.
class QVSyncCurrentSongToMobileScriptCommand : public QVScriptCommand
{
public:
    using QVScriptCommand::QVScriptCommand;
    void performDefaultImplementation() override;
};
