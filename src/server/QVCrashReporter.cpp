#include "QVCrashReporter.h"

void QVCrashReporter::findAndSubmitLogs()
{
}
