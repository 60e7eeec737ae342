#include "support/temp_dir.h"

#include <stdlib.h>

#include <filesystem>
#include <fstream>

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "melvok-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::write(const std::string& name, const std::string& content) const {
  std::string full = file(name);
  std::ofstream(full, std::ios::binary) << content;
  return full;
}
