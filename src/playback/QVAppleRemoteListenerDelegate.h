#pragma once

// Told of the remote's buttons (QVRemoteButton numbers), on the main thread.
// Both calls are optional.
class QVAppleRemoteListenerDelegate
{
public:
    virtual ~QVAppleRemoteListenerDelegate() = default;
    virtual void onButtonPressed(int button, bool isHold)
    {
        (void)button;
        (void)isHold;
    }
    virtual void onButtonReleased(int button) { (void)button; }
};
