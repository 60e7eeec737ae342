#pragma once
// File-system helpers on top of the C runtime.

struct FileSystem {
  // The working directory (at most 256 bytes; empty if it does not fit). The text lives in one
  // static buffer that the next call overwrites.
  static const char* currentDirectory();

  // True when the file can be opened for reading.
  static bool fileExists(const char* path);

  // Creates every directory on `path`, parents first ("logs/uci/old" makes "logs", "logs/uci",
  // "logs/uci/old"); '/' and '\\' both separate. Directories that exist already are fine. Any
  // other failure prints "FileSystem: error <errno> creating directory: '<prefix>'" to standard
  // error and returns false at once. A leading separator (an absolute path) is not a directory
  // of its own and is skipped.
  static bool makeDirectories(const char* path);
};
