#pragma once

// Starts the program: engine flags, the application object, the interface,
// the launch sequence and the event loop.
int QVApplicationMain(int argc, char** argv);
