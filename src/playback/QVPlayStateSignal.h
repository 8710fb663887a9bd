#pragma once

#include <QDBusConnection>

#include <optional>

// The system-wide "the play state or track changed" notice: the D-Bus signal
// playStateChanged on com.quiv.desktop at /com/quiv/desktop, with no
// arguments. Other programs ask us for the new state when they hear it.
// Without a session bus it logs one line and does nothing.
class QVPlayStateSignal
{
public:
    // The session bus, connected at the first post.
    QVPlayStateSignal() = default;
    explicit QVPlayStateSignal(const QDBusConnection& bus);
    virtual ~QVPlayStateSignal() = default;

    static QVPlayStateSignal* sharedInstance();

    virtual void post();

private:
    std::optional<QDBusConnection> _bus;
    bool _loggedFailure = false;
};
