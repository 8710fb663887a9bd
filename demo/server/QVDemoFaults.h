#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>

// Failures tests ask for on purpose, per call ("bulkAddToLibrary", ...):
// answer normally, answer 500, drop the connection, hang, or answer normally
// after a delay ("delay:<ms>"). A mode may wait for a number of normal answers
// first. Safe from the server's worker threads.
class QVDemoFaults
{
public:
    enum class Mode { Ok, Status500, Drop, Hang, Delay };
    static constexpr size_t maxCallNameLength = 64;
    static constexpr int maxAfter = 1000000;
    static constexpr int hangSeconds = 60;
    static constexpr int maxDelayMs = 10000;

    static std::optional<Mode> modeNamed(const std::string& name);
    // "delay:<ms>", ms a whole number up to maxDelayMs.
    static std::optional<int> delayNamed(const std::string& name);

    // After `after` more calls answered normally, `call` fails as `mode`.
    void set(const std::string& call, Mode mode, int after, int delayMs = 0);
    // What this call of `call` must do now; `delayMs` gets a delay's length.
    Mode take(const std::string& call, int* delayMs = nullptr);
    // Holds the calling worker until released, the mode changes or hangSeconds pass.
    void hang(const std::string& call);
    // Releases every hanging call; later ones do not hang.
    void releaseAll();

private:
    struct Fault {
        Mode mode = Mode::Ok;
        int after = 0;
        int delayMs = 0;
    };
    std::mutex _mutex;
    std::condition_variable _changed;
    std::map<std::string, Fault> _faults;
    bool _released = false;
};
