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

std::optional<int> QVDemoFaults::delayNamed(const std::string& name)
{
    const std::string prefix = "delay:";
    if (name.compare(0, prefix.size(), prefix) != 0)
        return std::nullopt;
    const std::string digits = name.substr(prefix.size());
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int ms = std::stoi(digits);
    return ms <= maxDelayMs ? std::optional<int>(ms) : std::nullopt;
}

void QVDemoFaults::set(const std::string& call, Mode mode, int after, int delayMs)
{
    {
        std::lock_guard lock(_mutex);
        if (mode == Mode::Ok)
            _faults.erase(call);
        else
            _faults[call] = { mode, after, delayMs };
    }
    _changed.notify_all();
}

QVDemoFaults::Mode QVDemoFaults::take(const std::string& call, int* delayMs)
{
    std::lock_guard lock(_mutex);
    const auto fault = _faults.find(call);
    if (fault == _faults.end())
        return Mode::Ok;
    if (fault->second.after > 0) {
        --fault->second.after;
        return Mode::Ok;
    }
    if (delayMs)
        *delayMs = fault->second.delayMs;
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
