#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>

// Failures tests ask for on purpose, per call ("bulkAddToLibrary", ...):
// answer normally, answer 500, drop the connection or hang. A mode may wait
// for a number of normal answers first. Safe from the server's worker threads.
class QVDemoFaults
{
public:
    enum class Mode { Ok, Status500, Drop, Hang };
    static constexpr size_t maxCallNameLength = 64;
    static constexpr int maxAfter = 1000000;
    static constexpr int hangSeconds = 60;

    static std::optional<Mode> modeNamed(const std::string& name);

    // After `after` more calls answered normally, `call` fails as `mode`.
    void set(const std::string& call, Mode mode, int after);
    // What this call of `call` must do now.
    Mode take(const std::string& call);
    // Holds the calling worker until released, the mode changes or hangSeconds pass.
    void hang(const std::string& call);
    // Releases every hanging call; later ones do not hang.
    void releaseAll();

private:
    struct Fault {
        Mode mode = Mode::Ok;
        int after = 0;
    };
    std::mutex _mutex;
    std::condition_variable _changed;
    std::map<std::string, Fault> _faults;
    bool _released = false;
};
