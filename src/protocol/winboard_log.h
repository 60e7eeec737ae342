#pragma once
// The WinBoard driver's own log file: numbered names (melvok-0000.log, melvok-0001.log, ...)
// in the configured directory, one time-stamped line per entry, written whole under a lock
// because the protocol thread and the search thread both log.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <mutex>

#include "base/rc_string.h"

class WinBoardLog {
 public:
  // The first free name directory/melvok-NNNN.log after creating the directory (and its
  // parents). Empty when the directory cannot be made ("could not create logdir: ..." goes to
  // standard error).
  static RcString freeFileName(const char* directory);

  // Opens the file for writing; the time stamps count from now. False when it cannot be opened.
  bool open(const char* path);
  bool isOpen() const { return file_ != nullptr; }
  FILE* file() const { return file_; }

  // One line: prefix, milliseconds since opening ("%011u"), ":[" status "]: ", the message,
  // and a newline when the message has none. Nothing happens while no file is open.
  void write(const char* prefix, const char* status, const char* format, va_list args);

 private:
  std::mutex lock_;
  FILE* file_ = nullptr;
  uint32_t openedAt_ = 0;
};
