#include "base/file_system.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "base/platform.h"

const char* FileSystem::currentDirectory() {
  static char buffer[256];
  if (getcwd(buffer, sizeof buffer) == nullptr) buffer[0] = '\0';
  return buffer;
}

bool FileSystem::fileExists(const char* path) {
  FILE* file = fopen(path, "r");
  if (file == nullptr) return false;
  fclose(file);
  return true;
}

bool FileSystem::makeDirectories(const char* path) {
  std::string whole(path);
  size_t cut = 0;
  for (;;) {
    size_t separator = whole.find_first_of("/\\", cut);
    std::string prefix = whole.substr(0, separator);
    if (!prefix.empty() && (separator == std::string::npos || separator > cut)) {
      int error = 0;
      if (!makeDirectory(prefix.c_str(), &error)) {
        fprintf(stderr, "FileSystem: error %i creating directory: '%s'\n", error, prefix.c_str());
        return false;
      }
    }
    if (separator == std::string::npos) return true;
    cut = separator + 1;
  }
}
