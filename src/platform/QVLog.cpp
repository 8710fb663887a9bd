#include "QVLog.h"

#include <cstdarg>
#include <cstdio>

void QVLog(const char* format, ...)
{
    char line[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    std::fprintf(stderr, "Quiv: %s\n", line);
}
