#include "QVDemoFaults.h"

#include <chrono>

std::optional<QVDemoFaults::Mode> QVDemoFaults::modeNamed(const std::string& name)
{
    if (name == "ok")
        return Mode::Ok;
    if (name == "status500")
        return Mode::Status500;
    if (name == "drop")
        return Mode::Drop;
    if (name == "hang")
        return Mode::Hang;
    return std::nullopt;
}

void QVDemoFaults::set(const std::string& call, Mode mode, int after)
{
    {
        std::lock_guard lock(_mutex);
        if (mode == Mode::Ok)
            _faults.erase(call);
        else
            _faults[call] = { mode, after };
    }
    _changed.notify_all();
}

QVDemoFaults::Mode QVDemoFaults::take(const std::string& call)
{
    std::lock_guard lock(_mutex);
    const auto fault = _faults.find(call);
    if (fault == _faults.end())
        return Mode::Ok;
    if (fault->second.after > 0) {
        --fault->second.after;
        return Mode::Ok;
    }
    return fault->second.mode;
}

void QVDemoFaults::hang(const std::string& call)
{
    std::unique_lock lock(_mutex);
    _changed.wait_for(lock, std::chrono::seconds(hangSeconds), [this, &call] {
        const auto fault = _faults.find(call);
        return _released || fault == _faults.end() || fault->second.mode != Mode::Hang;
    });
}

void QVDemoFaults::releaseAll()
{
    {
        std::lock_guard lock(_mutex);
        _released = true;
    }
    _changed.notify_all();
}
