#include "support/paths.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>

std::string enginePath() { return MELVOK_BINARY; }
std::string dataPath(const std::string& name) { return std::string(MELVOK_DATA_DIR) + "/" + name; }
std::string sourcePath(const std::string& name) {
  return std::string(MELVOK_SOURCE_DIR) + "/" + name;
}

std::string findProgram(const std::string& name) {
  const char* path = getenv("PATH");
  std::stringstream dirs(std::string(path ? path : "") + ":/usr/games");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string candidate = dir + "/" + name;
    if (!dir.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}
