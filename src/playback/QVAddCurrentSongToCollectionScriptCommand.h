#pragma once

#include "QVScriptCommand.h"

// The playback service's addCurrentSongToCollection, for another program.
class QVAddCurrentSongToCollectionScriptCommand : public QVScriptCommand
{
public:
    using QVScriptCommand::QVScriptCommand;
    void performDefaultImplementation() override;
};
