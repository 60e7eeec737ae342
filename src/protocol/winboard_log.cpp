#include "protocol/winboard_log.h"

#include <cstring>

#include "base/file_system.h"
#include "base/log_file_name.h"
#include "base/platform.h"

RcString WinBoardLog::freeFileName(const char* directory) {
  if (!FileSystem::makeDirectories(directory)) {
    fprintf(stderr, "could not create logdir: %s\n", directory);
    return RcString();
  }
  LogFileName name;
  name.directory = directory;
  name.prefix = "melvok-";
  name.suffix = ".log";
  for (name.number = 0; FileSystem::fileExists(name.build().c_str()); name.number++) {
  }
  return name.path;
}

bool WinBoardLog::open(const char* path) {
  FILE* file = fopen(path, "w");
  if (!file) return false;
  std::lock_guard<std::mutex> guard(lock_);
  openedAt_ = tickCount();
  file_ = file;
  return true;
}

void WinBoardLog::write(const char* prefix, const char* status, const char* format, va_list args) {
  if (!file_) return;
  // Formatted first, so that the line goes out with one call while the lock is held.
  char message[2400];
  vsnprintf(message, sizeof message, format, args);
  const size_t length = strlen(message);
  const char* newline = length && message[length - 1] == '\n' ? "" : "\n";
  std::lock_guard<std::mutex> guard(lock_);
  fprintf(file_, "%s%011u:[%s]: %s%s", prefix, tickCount() - openedAt_, status, message, newline);
  fflush(file_);
}
