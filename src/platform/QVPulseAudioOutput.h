#pragma once

#include "QVAudioOutputMonitor.h"
#include "QVAudioOutputState.h"

struct pa_context;
struct pa_threaded_mainloop;

// The default PulseAudio sink (PipeWire serves the same protocol): its active
// port stands for the output's data source, a headphone port for the jack, its
// volume for the system volume. libpulse runs its own thread; every result is
// handed to the main thread before anyone hears of it. Without a sound server
// it logs one line and stays inert.
class QVPulseAudioOutput : public QVAudioOutputMonitor
{
    Q_OBJECT
public:
    explicit QVPulseAudioOutput(QObject* parent = nullptr);
    ~QVPulseAudioOutput() override;

    // Started on first use.
    static QVPulseAudioOutput* sharedInstance();

    // Connects in the background; false (and one log line) when libpulse
    // cannot even begin. A server that is not there is logged once later.
    bool start();
    void stop();

    bool isHeadphoneOutput() const override { return _state.isHeadphones; }
    QVAudioOutputState state() const { return _state; }

    // 0.0 to 1.0; nothing happens without a default output.
    float volume() const { return _state.volume; }
    void setVolume(float volume);

    // Whether going from `before` to `after` means the sound now comes out
    // somewhere else: another port of the same output, or another output when
    // the old one was a pair of headphones (Bluetooth headphones switched off).
    static bool isDataSourceChange(const QVAudioOutputState& before, const QVAudioOutputState& after);
    // A port of headphone type; by its name where the server gives no type;
    // by the device's form factor where the output has no ports.
    static bool isHeadphonePort(const QString& portName, unsigned int portType, const QString& formFactor);

    // How soon a connection lost to a running server is tried again.
    static constexpr int kReconnectInterval = 2000;

    // Main thread only: a new snapshot of the default output.
    void _applyState(const QVAudioOutputState& state);

private:
    friend struct QVPulseAudioCallbacks;
    void _requestState(); // pulse thread, mainloop locked
    void _postUnavailable(const QString& why, bool wasReady); // pulse thread
    void _logUnavailable(const QString& why);

    pa_threaded_mainloop* _mainloop = nullptr;
    pa_context* _context = nullptr;
    QVAudioOutputState _state;
    bool _hasState = false;
    bool _loggedFailure = false;
    bool _wasReady = false; // pulse thread only
    bool _reconnecting = false;
};
