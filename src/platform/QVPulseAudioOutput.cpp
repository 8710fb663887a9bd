#include "QVPulseAudioOutput.h"

#include "QVLog.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

#include <pulse/pulseaudio.h>
#include <pulse/thread-mainloop.h>

#include <algorithm>
#include <cmath>

namespace {
constexpr int kMaxNameLength = 256;

QString boundedName(const char* text)
{
    return text ? QString::fromUtf8(text).left(kMaxNameLength) : QString();
}
} // namespace

// libpulse calls these on its own thread with the mainloop locked.
struct QVPulseAudioCallbacks {
    static void contextState(pa_context* context, void* userdata)
    {
        auto* output = static_cast<QVPulseAudioOutput*>(userdata);
        switch (pa_context_get_state(context)) {
        case PA_CONTEXT_READY: {
            output->_wasReady = true;
            pa_context_set_subscribe_callback(context, &QVPulseAudioCallbacks::subscribe, output);
            const auto mask = pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SINK | PA_SUBSCRIPTION_MASK_SERVER);
            if (pa_operation* op = pa_context_subscribe(context, mask, nullptr, nullptr))
                pa_operation_unref(op);
            output->_requestState();
            break;
        }
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            output->_postUnavailable(output->_wasReady
                    ? QStringLiteral("the sound server went away")
                    : QString::fromUtf8(pa_strerror(pa_context_errno(context))),
                output->_wasReady);
            break;
        default:
            break;
        }
    }

    static void subscribe(pa_context*, pa_subscription_event_type_t, uint32_t, void* userdata)
    {
        // Any sink or server change may move the default output or its port.
        static_cast<QVPulseAudioOutput*>(userdata)->_requestState();
    }

    static void serverInfo(pa_context* context, const pa_server_info* info, void* userdata)
    {
        auto* output = static_cast<QVPulseAudioOutput*>(userdata);
        if (!info || !info->default_sink_name) {
            post(output, QVAudioOutputState());
            return;
        }
        if (pa_operation* op = pa_context_get_sink_info_by_name(
                context, info->default_sink_name, &QVPulseAudioCallbacks::sinkInfo, output))
            pa_operation_unref(op);
    }

    static void sinkInfo(pa_context*, const pa_sink_info* info, int eol, void* userdata)
    {
        auto* output = static_cast<QVPulseAudioOutput*>(userdata);
        if (eol < 0) {
            post(output, QVAudioOutputState()); // the default sink vanished meanwhile
            return;
        }
        if (eol > 0 || !info)
            return;
        QVAudioOutputState state;
        state.isValid = true;
        state.sinkName = boundedName(info->name);
        const char* formFactor = pa_proplist_gets(info->proplist, PA_PROP_DEVICE_FORM_FACTOR);
        unsigned int portType = PA_DEVICE_PORT_TYPE_UNKNOWN;
        if (info->active_port) {
            state.activePort = boundedName(info->active_port->name);
            portType = info->active_port->type;
        }
        state.isHeadphones
            = QVPulseAudioOutput::isHeadphonePort(state.activePort, portType, boundedName(formFactor));
        state.channels = info->volume.channels;
        state.volume
            = info->volume.channels ? float(pa_cvolume_avg(&info->volume)) / float(PA_VOLUME_NORM) : 0.0f;
        post(output, state);
    }

    static void post(QVPulseAudioOutput* output, const QVAudioOutputState& state)
    {
        QMetaObject::invokeMethod(
            output, [output, state] { output->_applyState(state); }, Qt::QueuedConnection);
    }
};

QVPulseAudioOutput::QVPulseAudioOutput(QObject* parent)
    : QVAudioOutputMonitor(parent)
{
    // The server thread must not outlive the application object.
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &QVPulseAudioOutput::stop);
}

QVPulseAudioOutput::~QVPulseAudioOutput()
{
    stop();
}

QVPulseAudioOutput* QVPulseAudioOutput::sharedInstance()
{
    static QVPulseAudioOutput* output = [] {
        auto* created = new QVPulseAudioOutput();
        created->start();
        return created;
    }();
    return output;
}

bool QVPulseAudioOutput::start()
{
    if (_mainloop)
        return true;
    _mainloop = pa_threaded_mainloop_new();
    if (!_mainloop) {
        _logUnavailable(QStringLiteral("no main loop"));
        return false;
    }
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Quiv");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ID, "com.quiv.desktop");
    _context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(_mainloop), "Quiv", properties);
    pa_proplist_free(properties);
    if (!_context) {
        pa_threaded_mainloop_free(_mainloop);
        _mainloop = nullptr;
        _logUnavailable(QStringLiteral("no context"));
        return false;
    }
    _wasReady = false;
    pa_context_set_state_callback(_context, &QVPulseAudioCallbacks::contextState, this);
    // Never start a sound server of our own.
    if (pa_context_connect(_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        _logUnavailable(QString::fromUtf8(pa_strerror(pa_context_errno(_context))));
        pa_context_unref(_context);
        _context = nullptr;
        pa_threaded_mainloop_free(_mainloop);
        _mainloop = nullptr;
        return false;
    }
    if (pa_threaded_mainloop_start(_mainloop) < 0) {
        _logUnavailable(QStringLiteral("the thread did not start"));
        pa_context_disconnect(_context);
        pa_context_unref(_context);
        _context = nullptr;
        pa_threaded_mainloop_free(_mainloop);
        _mainloop = nullptr;
        return false;
    }
    return true;
}

void QVPulseAudioOutput::stop()
{
    if (!_mainloop)
        return;
    pa_threaded_mainloop_lock(_mainloop);
    pa_context_set_state_callback(_context, nullptr, nullptr);
    pa_context_set_subscribe_callback(_context, nullptr, nullptr);
    pa_context_disconnect(_context);
    pa_threaded_mainloop_unlock(_mainloop);
    pa_threaded_mainloop_stop(_mainloop);
    pa_context_unref(_context);
    pa_threaded_mainloop_free(_mainloop);
    _context = nullptr;
    _mainloop = nullptr;
}

void QVPulseAudioOutput::_requestState()
{
    if (pa_operation* op = pa_context_get_server_info(_context, &QVPulseAudioCallbacks::serverInfo, this))
        pa_operation_unref(op);
}

void QVPulseAudioOutput::_postUnavailable(const QString& why, bool wasReady)
{
    QMetaObject::invokeMethod(
        this,
        [this, why, wasReady] {
            _logUnavailable(why);
            _applyState(QVAudioOutputState());
            // A server that was there comes back (PipeWire restarts with the
            // session): keep trying. One that never was is left alone.
            if (wasReady || _reconnecting) {
                _reconnecting = true;
                QTimer::singleShot(kReconnectInterval, this, [this] {
                    stop();
                    start();
                });
            }
        },
        Qt::QueuedConnection);
}

void QVPulseAudioOutput::_logUnavailable(const QString& why)
{
    if (_loggedFailure)
        return;
    _loggedFailure = true;
    QVLog("[WARNING] PulseAudio is not available (%s): no pause when the output changes, no system volume",
        qPrintable(why));
}

void QVPulseAudioOutput::_applyState(const QVAudioOutputState& state)
{
    const QVAudioOutputState before = _state;
    _state = state;
    if (state.isValid) {
        _reconnecting = false;
        _loggedFailure = false; // a later loss is worth a line again
    }
    const bool hadState = _hasState;
    _hasState = true;
    if (hadState && isDataSourceChange(before, state))
        emit dataSourceChanged();
}

void QVPulseAudioOutput::setVolume(float volume)
{
    if (!_mainloop || !_state.isValid || _state.channels <= 0 || !std::isfinite(volume))
        return;
    const float bounded = std::clamp(volume, 0.0f, 1.0f);
    pa_cvolume levels;
    pa_cvolume_set(&levels, unsigned(std::min(_state.channels, int(PA_CHANNELS_MAX))),
        pa_volume_t(std::lround(double(bounded) * PA_VOLUME_NORM)));
    const QByteArray sink = _state.sinkName.toUtf8();
    pa_threaded_mainloop_lock(_mainloop);
    if (pa_context_get_state(_context) == PA_CONTEXT_READY)
        if (pa_operation* op
            = pa_context_set_sink_volume_by_name(_context, sink.constData(), &levels, nullptr, nullptr))
            pa_operation_unref(op);
    pa_threaded_mainloop_unlock(_mainloop);
    // Read back at once: two quick steps add up before the server answers.
    _state.volume = bounded;
}

bool QVPulseAudioOutput::isDataSourceChange(const QVAudioOutputState& before, const QVAudioOutputState& after)
{
    if (!before.isValid)
        return false;
    if (after.isValid && after.sinkName == before.sinkName)
        return after.activePort != before.activePort;
    return before.isHeadphones;
}

bool QVPulseAudioOutput::isHeadphonePort(
    const QString& portName, unsigned int portType, const QString& formFactor)
{
    if (portName.isEmpty())
        return formFactor == u"headphone" || formFactor == u"headset";
    if (portType != PA_DEVICE_PORT_TYPE_UNKNOWN)
        return portType == PA_DEVICE_PORT_TYPE_HEADPHONES || portType == PA_DEVICE_PORT_TYPE_HEADSET;
    return portName.contains(u"headphone", Qt::CaseInsensitive)
        || portName.contains(u"headset", Qt::CaseInsensitive);
}
