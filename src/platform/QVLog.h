#pragma once

// The one way the program writes log lines: printf style, to standard error,
// where the journal picks them up.
void QVLog(const char* format, ...) __attribute__((format(printf, 1, 2)));
