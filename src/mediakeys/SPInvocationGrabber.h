#pragma once

#include <functional>
#include <memory>
#include <vector>

// Carries one call to another thread and remembers where it was made, so a
// failure there can say who scheduled it.
class SPInvocationGrabber
{
public:
    explicit SPInvocationGrabber(std::function<void()> invocation, bool saveStacktrace = true);
    ~SPInvocationGrabber();
    SPInvocationGrabber(const SPInvocationGrabber&) = delete;
    SPInvocationGrabber& operator=(const SPInvocationGrabber&) = delete;

    static std::unique_ptr<SPInvocationGrabber> grab(std::function<void()> invocation);

    // Runs the call once and drops it. A call that throws is logged with
    // where it was scheduled and answers false: an exception must not cross
    // the thread's loop, which would end the program.
    bool invoke();

private:
    void saveBacktrace();
    void printBacktrace() const;

    std::function<void()> _invocation;
    std::vector<void*> _frames;
};
