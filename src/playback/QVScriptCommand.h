#pragma once

#include <QString>
#include <QVariantMap>

class QVWebPlaybackService;

// A command other programs send over our scripting service: a thin handler
// that carries it out on the playback service.
class QVScriptCommand
{
public:
    QVScriptCommand(QVWebPlaybackService* playback, QVariantMap arguments = {})
        : _playback(playback)
        , _arguments(std::move(arguments))
    {
    }
    virtual ~QVScriptCommand() = default;

    const QVariantMap& evaluatedArguments() const { return _arguments; }
    virtual void performDefaultImplementation() = 0;

protected:
    QVWebPlaybackService* playbackService() const { return _playback; }

private:
    QVWebPlaybackService* _playback;
    QVariantMap _arguments;
};
