#pragma once

// Buttons of an infrared remote, as its listener reports them.
enum QVRemoteButton : int {
    QVRemoteButtonVolumeUp = 0,
    QVRemoteButtonVolumeDown = 1,
    QVRemoteButtonMenu = 2,
    QVRemoteButtonPlay = 3,
    QVRemoteButtonNext = 4,
    QVRemoteButtonPrevious = 5,
};
