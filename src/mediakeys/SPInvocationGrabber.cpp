#include "SPInvocationGrabber.h"

#include "QVLog.h"

#include <cstdlib>
#include <exception>
#include <execinfo.h>
#include <typeinfo>

namespace {
constexpr int kMaxFrames = 128;
// Frames of the grabber itself: grab, the constructor, saveBacktrace.
constexpr int kOwnFrames = 3;
} // namespace

SPInvocationGrabber::SPInvocationGrabber(std::function<void()> invocation, bool saveStacktrace)
    : _invocation(std::move(invocation))
{
    if (saveStacktrace)
        saveBacktrace();
}

SPInvocationGrabber::~SPInvocationGrabber() = default;

std::unique_ptr<SPInvocationGrabber> SPInvocationGrabber::grab(std::function<void()> invocation)
{
    return std::make_unique<SPInvocationGrabber>(std::move(invocation));
}

void SPInvocationGrabber::saveBacktrace()
{
    // Addresses only; symbols are looked up if the call ever fails.
    _frames.resize(kMaxFrames);
    _frames.resize(size_t(::backtrace(_frames.data(), kMaxFrames)));
}

void SPInvocationGrabber::printBacktrace() const
{
    if (_frames.empty())
        return;
    char** symbols = ::backtrace_symbols(_frames.data(), int(_frames.size()));
    if (!symbols)
        return;
    for (size_t i = kOwnFrames; i < _frames.size(); ++i)
        QVLog("%s", symbols[i]);
    std::free(symbols);
}

bool SPInvocationGrabber::invoke()
{
    std::function<void()> invocation = std::move(_invocation);
    _invocation = nullptr;
    if (!invocation)
        return true;
    try {
        invocation();
        return true;
    } catch (const std::exception& exception) {
        QVLog("SPInvocationGrabber's target raised %s:\n\t%s\nInvocation was originally scheduled at:",
            typeid(exception).name(), exception.what());
    } catch (...) {
        QVLog("SPInvocationGrabber's target raised %s:\n\t%s\nInvocation was originally scheduled at:",
            "unknown exception", "");
    }
    printBacktrace();
    QVLog("%s", "");
    return false;
}
