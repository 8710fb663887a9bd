#pragma once

#include <QString>

// Where the program keeps its files, after the XDG base directories.
namespace QVPaths {
// $XDG_DATA_HOME/Quiv (local storage, album art).
QString supportDirectory();
// $XDG_CACHE_HOME/Quiv.
QString cacheDirectory();
// $XDG_STATE_HOME/Quiv/crashes; Qt 6.4 has no state location, so the variable is read.
QString crashLogDirectory();
} // namespace QVPaths
