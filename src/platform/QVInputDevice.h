#pragma once

#include <QString>

#include <linux/input.h>
#include <vector>

// One open input device as the remote listener reads it: a descriptor to
// watch and the kernel's events. Tests stand in their own.
class QVInputDevice
{
public:
    enum class ReadStatus { Ok, Gone, Failed };

    virtual ~QVInputDevice() = default;
    virtual QString path() const = 0;
    virtual int fd() const = 0;
    // Appends every event waiting now. Gone: the device was unplugged.
    virtual ReadStatus readEvents(std::vector<input_event>& events) = 0;
    // The key's state as the kernel holds it now, for catching up after
    // the kernel dropped events.
    virtual bool isKeyDown(int code) const = 0;
};
