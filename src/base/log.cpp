#include "base/log.h"

#include <cstdarg>

int logLevel = 1;
std::atomic<FILE*> logFile{stdout};

// One vfprintf per message: the C library's stream lock keeps a message in one piece even
// when several threads log at once.
static void writeLog(int level, const char* format, va_list args) {
  FILE* file = logFile;
  if (file != nullptr && logLevel <= level) vfprintf(file, format, args);
}

void logDebug(const char* format, ...) {
  va_list args;
  va_start(args, format);
  writeLog(0, format, args);
  va_end(args);
}

void logInfo(const char* format, ...) {
  va_list args;
  va_start(args, format);
  writeLog(1, format, args);
  va_end(args);
}

void logWarning(const char* format, ...) {
  va_list args;
  va_start(args, format);
  writeLog(2, format, args);
  va_end(args);
}

void logError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  writeLog(3, format, args);
  va_end(args);
}
