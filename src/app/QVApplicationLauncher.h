#pragma once

#include <QStringList>

#include <memory>

class QVDesktopAppDelegate;
class QVDesktopApplication;
class QVInterfaceBuilder;
class QVMprisService;
class QVPulseAudioSystemVolume;
class QVScriptingService;

// Wires the services together, builds the interface and runs the launch
// sequence on an application object; undoes it when it goes away.
class QVApplicationLauncher
{
public:
    explicit QVApplicationLauncher(QVDesktopApplication* application);
    ~QVApplicationLauncher();

    void launch();
    // Routes "quiv://" addresses given at start, in order, once the queue runs.
    void openURLs(const QStringList& urls);
    QVScriptingService* scriptingService() const { return _scripting.get(); }

    QVDesktopAppDelegate* delegate() const { return _delegate.get(); }
    QVInterfaceBuilder* builder() const { return _builder.get(); }

    // Sets the engine's command-line flags; must run before the engine starts.
    static void setEngineFlags();

private:
    QVDesktopApplication* _application;
    std::unique_ptr<QVPulseAudioSystemVolume> _systemVolume;
    std::unique_ptr<QVDesktopAppDelegate> _delegate;
    std::unique_ptr<QVMprisService> _mpris;
    std::unique_ptr<QVScriptingService> _scripting;
    std::unique_ptr<QVInterfaceBuilder> _builder;
};
