#pragma once

#include <QString>

namespace QVSystemInfo {
// The system generation the window chrome follows. Linux answers the modern
// one; QUIV_SYSTEM_VERSION overrides it for tests.
QString productVersion();
} // namespace QVSystemInfo
