#pragma once

#include "QVScriptCommand.h"

// The playback service's removeCurrentSongFromMobile, for another program.
class QVRemoveCurrentSongFromMobileScriptCommand : public QVScriptCommand
{
public:
    using QVScriptCommand::QVScriptCommand;
    void performDefaultImplementation() override;
};
