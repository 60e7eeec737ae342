#include "base/file_system.h"

#include <sys/stat.h>
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

bool FileSystem::exists(const std::string& path) {
  struct stat info;
  return !path.empty() && stat(path.c_str(), &info) == 0;
}

std::string FileSystem::programDirectory() {
  char buffer[4096];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return "";
  const std::string program(buffer, size_t(length));
  const size_t slash = program.find_last_of('/');
  return slash == std::string::npos ? "" : program.substr(0, slash == 0 ? 1 : slash);
}

std::string FileSystem::resolve(const std::string& path) {
  if (path.empty() || path[0] == '/' || path[0] == '\\') return path;
  const std::string folder = programDirectory();
  if (folder.empty()) return path;
  const std::string there = folder + (folder.back() == '/' ? "" : "/") + path;
  return exists(there) ? there : path;
}

std::string FileSystem::resolveList(const std::string& folders) {
  std::string resolved;
  size_t start = 0;
  for (;;) {
    const size_t colon = folders.find(':', start);
    const std::string folder = folders.substr(start, colon - start);
    if (start > 0) resolved += ':';
    resolved += resolve(folder);
    if (colon == std::string::npos) return resolved;
    start = colon + 1;
  }
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
