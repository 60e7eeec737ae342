#pragma once
// File-system helpers on top of the C runtime.
#include <string>

struct FileSystem {
  // The working directory (at most 256 bytes; empty if it does not fit). The text lives in one
  // static buffer that the next call overwrites.
  static const char* currentDirectory();

  // True when the file can be opened for reading.
  static bool fileExists(const char* path);
  // True when a file or directory of that name exists.
  static bool exists(const std::string& path);

  // The folder of the running program (with no trailing separator), or empty when the system
  // cannot tell. Interfaces start engines in folders of their own choosing; the program's
  // folder is where a user puts the engine's files.
  static std::string programDirectory();
  // A path the user gave: absolute paths and those that name nothing in the program's folder
  // stay as they are (from the working directory); a relative path that names something in the
  // program's folder is taken from there.
  static std::string resolve(const std::string& path);
  // The same for each folder of a list separated by ':'.
  static std::string resolveList(const std::string& folders);

  // Creates every directory on `path`, parents first ("logs/uci/old" makes "logs", "logs/uci",
  // "logs/uci/old"); '/' and '\\' both separate. Directories that exist already are fine. Any
  // other failure prints "FileSystem: error <errno> creating directory: '<prefix>'" to standard
  // error and returns false at once. A leading separator (an absolute path) is not a directory
  // of its own and is skipped.
  static bool makeDirectories(const char* path);
};
