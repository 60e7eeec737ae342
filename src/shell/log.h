#pragma once
// The process-wide log: one FILE (standard output at start, a protocol driver's log file
// later, or none) and four levels. Messages below logLevel are dropped.
#include <cstdio>

extern int logLevel;
extern FILE* logFile;

void logDebug(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logInfo(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logWarning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logError(const char* format, ...) __attribute__((format(printf, 1, 2)));
