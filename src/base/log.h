#pragma once
// The process-wide log: one FILE (standard output at start, a protocol driver's log file
// later, or none) and four levels. Messages below logLevel are dropped.
#include <atomic>
#include <cstdio>

extern int logLevel;
// Atomic: a protocol driver may redirect the log while the search thread writes to it.
extern std::atomic<FILE*> logFile;

void logDebug(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logInfo(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logError(const char* format, ...) __attribute__((format(printf, 1, 2)));
