#include "base/file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "base/log_file_name.h"
#include "support/temp_dir.h"

namespace {
bool isDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
}  // namespace

TEST(LogFileName, NumberHasAtLeastFourDigits) {
  LogFileName name;
  name.directory = "logs/uci";
  name.prefix = "uci";
  name.suffix = ".log";
  const std::pair<int, const char*> cases[] = {{0, "logs/uci/uci0000.log"},
                                               {7, "logs/uci/uci0007.log"},
                                               {123, "logs/uci/uci0123.log"},
                                               {12345, "logs/uci/uci12345.log"}};
  for (auto [number, expected] : cases) {
    name.number = number;
    EXPECT_STREQ(name.build().c_str(), expected);
    EXPECT_STREQ(name.path.c_str(), expected);  // the result replaces the previous one
  }
  name.directory = "logs/";
  name.number = 1;
  EXPECT_STREQ(name.build().c_str(), "logs/uci0001.log");
}

TEST(FileSystem, MakeDirectoriesCreatesParentsFirst) {
  TempDir dir;
  std::string path = dir.file("logs/uci/old");
  ASSERT_TRUE(FileSystem::makeDirectories(path.c_str()));  // absolute: the leading '/' is skipped
  EXPECT_TRUE(isDirectory(dir.file("logs")));
  EXPECT_TRUE(isDirectory(dir.file("logs/uci")));
  EXPECT_TRUE(isDirectory(path));
  EXPECT_TRUE(FileSystem::makeDirectories(path.c_str()));  // existing ones are no error
  // '\\' cuts too (a Windows path); on Linux the whole path then names one directory.
  EXPECT_TRUE(FileSystem::makeDirectories(dir.file("win\\wb").c_str()));
  EXPECT_TRUE(isDirectory(dir.file("win")));
  EXPECT_TRUE(isDirectory(dir.file("win\\wb")));
  EXPECT_TRUE(FileSystem::makeDirectories(dir.file("trailing/").c_str()));
  EXPECT_TRUE(isDirectory(dir.file("trailing")));
}

TEST(FileSystem, MakeDirectoriesRelativeToWorkingDirectory) {
  TempDir dir;
  std::string saved = FileSystem::currentDirectory();
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  EXPECT_EQ(std::string(FileSystem::currentDirectory()),
            std::filesystem::canonical(dir.path()).string());
  bool made = FileSystem::makeDirectories("logs/uci/old");
  ASSERT_EQ(chdir(saved.c_str()), 0);
  EXPECT_TRUE(made);
  EXPECT_TRUE(isDirectory(dir.file("logs/uci/old")));
}

TEST(FileSystem, MakeDirectoriesStopsAtAFileInTheWay) {
  TempDir dir;
  dir.write("file", "x");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(FileSystem::makeDirectories(dir.file("file/sub/deeper").c_str()));
  std::string error = testing::internal::GetCapturedStderr();
  EXPECT_EQ(error, "FileSystem: error 20 creating directory: '" + dir.file("file/sub") + "'\n");
  EXPECT_FALSE(isDirectory(dir.file("file/sub/deeper")));
}

TEST(FileSystem, FileExists) {
  TempDir dir;
  EXPECT_TRUE(FileSystem::fileExists(dir.write("book.mvk", "").c_str()));
  EXPECT_FALSE(FileSystem::fileExists(dir.file("missing.mvk").c_str()));
}
