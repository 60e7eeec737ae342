#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "melvok-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  EXPECT_FALSE(path_.empty()) << "no temporary directory";
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

InDirectory::InDirectory(const std::string& directory)
    : saved_(std::filesystem::current_path().string()) {
  EXPECT_EQ(chdir(directory.c_str()), 0) << directory;
}

InDirectory::~InDirectory() { EXPECT_EQ(chdir(saved_.c_str()), 0) << saved_; }
