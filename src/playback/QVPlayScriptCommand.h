#pragma once

#include "QVScriptCommand.h"

// Playing from a source, or resuming, for another program.
class QVPlayScriptCommand : public QVScriptCommand
{
public:
    using QVScriptCommand::QVScriptCommand;
    void performDefaultImplementation() override;
};
