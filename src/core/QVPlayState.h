#pragma once

// The player's state as every native part sees it: the page's raw state plus one.
enum QVPlayState : int {
    QVPlayStateUnknown = 0,
    QVPlayStatePaused = 1,
    QVPlayStatePlaying = 2,
    QVPlayStateStopped = 3,
    QVPlayStateBuffering = 4,
    QVPlayStateInactive = 5,
};

// Repeat, the same numbers on both sides.
enum QVRepeatState : int {
    QVRepeatStateNone = 0,
    QVRepeatStateOne = 1,
    QVRepeatStateAll = 2,
};
