// Reading lines, the log levels, and making directories.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "base/file_system.h"
#include "base/log.h"
#include "base/output_stream.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace {

std::vector<std::string> readLines(const std::string& path) {
  FILE* file = fopen(path.c_str(), "r");
  TextFile reader(file);
  std::vector<std::string> lines;
  while (const char* line = reader.readline()) lines.push_back(line);
  EXPECT_EQ(reader.readline(), nullptr);  // stays at the end
  fclose(file);
  return lines;
}

bool isDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

TEST(TextFile, ReadsEveryLineWholeWhateverItsEnd) {
  TempDir dir;
  CapturedLog quiet;  // the reader reports buffer growth on the log
  const std::string longLine = std::string(999, 'x') + "y";
  const struct {
    std::string content;
    std::vector<std::string> lines;
  } cases[] = {
      // A CR LF line end goes as a whole, like a newline; a CR elsewhere stays.
      {"one\n\nthree\r\n\r\nfo\rur\r\r\n", {"one", "", "three", "", "fo\rur\r"}},
      {"", {}},
      {"short\n" + longLine + "\n" + std::string(127, 'q') + "\nend\n", {"short", longLine, std::string(127, 'q'), "end"}},
      // A NUL ends the text of its line; the lines after it are neither lost nor merged.
      {std::string("ab\0cd\n\0x\nisready\n", 17), {"ab", "", "isready"}},
  };
  for (const auto& c : cases) EXPECT_EQ(readLines(dir.write("f", c.content)), c.lines) << c.content;
  // A last line without a newline is kept, also where it ends at a buffer boundary.
  for (int length : {1, 63, 64, 127, 128, 255, 256, 511}) {
    const std::string last(length, 'k');
    EXPECT_EQ(readLines(dir.write("f", "first\n" + last)), (std::vector<std::string>{"first", last}));
  }
}

TEST(Log, LevelsFilterAndNothingIsAdded) {
  const int savedLevel = logLevel;
  CapturedLog log;
  logLevel = 1;
  logDebug("debug %d\n", 0);
  logInfo("info %d;", 1);
  logWarning("warning %s;", "two");
  logError("error %c", '3');
  logLevel = 3;
  logWarning("dropped");
  logError(";error");
  logLevel = savedLevel;
  EXPECT_EQ(log.text(), "info 1;warning two;error 3;error");
}

TEST(FileSystem, MakeDirectoriesParentsFirstAndFailuresNamed) {
  TempDir dir;
  const std::string path = dir.file("logs/uci/old");
  ASSERT_TRUE(FileSystem::makeDirectories(path.c_str()));
  EXPECT_TRUE(isDirectory(dir.file("logs/uci")) && isDirectory(path));
  EXPECT_TRUE(FileSystem::makeDirectories(path.c_str()));               // existing ones are no error
  EXPECT_TRUE(FileSystem::makeDirectories(dir.file("win\\wb").c_str()));  // '\\' cuts too
  EXPECT_TRUE(isDirectory(dir.file("win")));
  dir.write("file", "x");
  bool made = true;
  const std::string error = captureStderr([&] { made = FileSystem::makeDirectories(dir.file("file/sub/deeper").c_str()); });
  EXPECT_FALSE(made);
  EXPECT_EQ(error, "FileSystem: error 20 creating directory: '" + dir.file("file/sub") + "'\n");
}
