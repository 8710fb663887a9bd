#pragma once

#include "QVScriptCommand.h"

// The playback service's removeCurrentSongFromCollection, for another program.
class QVRemoveCurrentSongFromCollectionScriptCommand : public QVScriptCommand
{
public:
    using QVScriptCommand::QVScriptCommand;
    void performDefaultImplementation() override;
};
