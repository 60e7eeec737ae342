#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/log.h"
#include "base/output_stream.h"
#include "support/temp_dir.h"

namespace {
// Sends the process-wide log into a temporary file for the lifetime of the object.
class CapturedLog {
 public:
  CapturedLog() : saved_(logFile), file_(tmpfile()) { logFile = file_; }
  ~CapturedLog() {
    logFile = saved_;
    fclose(file_);
  }
  std::string text() {
    fflush(file_);
    rewind(file_);
    std::string result;
    for (int c; (c = fgetc(file_)) != EOF;) result += static_cast<char>(c);
    return result;
  }

 private:
  FILE* saved_;
  FILE* file_;
};

std::vector<std::string> readAll(const std::string& path) {
  FILE* file = fopen(path.c_str(), "r");
  TextFile reader(file);
  std::vector<std::string> lines;
  while (const char* line = reader.readline()) lines.push_back(line);
  fclose(file);
  return lines;
}
}  // namespace

TEST(TextFileReadline, LinesWithAndWithoutFinalNewline) {
  TempDir dir;
  CapturedLog log;
  // A CR LF line end goes as a whole, like a newline; a CR elsewhere stays.
  EXPECT_EQ(readAll(dir.write("a", "one\n\nthree\r\n\r\nfo\rur\r\r\n")),
            (std::vector<std::string>{"one", "", "three", "", "fo\rur\r"}));
  EXPECT_EQ(readAll(dir.write("b", "one\nlast")), (std::vector<std::string>{"one", "last"}));
  EXPECT_NE(log.text().find("EOF n=4, size=128\n"), std::string::npos);
  EXPECT_TRUE(readAll(dir.write("c", "")).empty());
}

TEST(TextFileReadline, LongLinesGrowTheBuffer) {
  TempDir dir;
  CapturedLog log;
  std::string longLine(1000, 'x');
  longLine[999] = 'y';
  std::string exact127(127, 'q');  // fills the first buffer exactly
  std::string content =
      "short\n" + longLine + "\n" + exact127 + "\n" + std::string(300, 'z') + "\nend\n";
  EXPECT_EQ(readAll(dir.write("long", content)),
            (std::vector<std::string>{"short", longLine, exact127, std::string(300, 'z'), "end"}));
  EXPECT_NE(log.text().find("Textfile.readline(): reallocced size=256"), std::string::npos);
}

TEST(TextFileReadline, LastLineWithoutNewlineAtBufferBoundaryIsKept) {
  TempDir dir;
  CapturedLog log;
  for (int length : {63, 64, 127, 128, 255, 256, 511}) {
    std::string last(length, 'k');
    EXPECT_EQ(readAll(dir.write("f", "first\n" + last)), (std::vector<std::string>{"first", last}))
        << "length " << length;
  }
}

TEST(TextFileReadline, NulByteDoesNotEndTheInput) {
  TempDir dir;
  CapturedLog log;
  std::string content = std::string("ab\0cd\n", 6) + std::string("\0x\n", 3) + "isready\n";
  // The NUL ends the text of its line; the following lines are neither lost nor merged.
  EXPECT_EQ(readAll(dir.write("nul", content)), (std::vector<std::string>{"ab", "", "isready"}));
}

TEST(TextFileReadline, NullHandleAndEndOfFile) {
  TextFile none;
  EXPECT_EQ(none.readline(), nullptr);
  TempDir dir;
  FILE* file = fopen(dir.write("one", "x\n").c_str(), "r");
  TextFile reader(file);
  ASSERT_NE(reader.readline(), nullptr);
  EXPECT_EQ(reader.readline(), nullptr);
  EXPECT_EQ(reader.readline(), nullptr);  // stays at the end
  fclose(file);
}

TEST(TextFileOutput, WritesThroughItsHandle) {
  FILE* file = tmpfile();
  TextFile out(file);
  OutputStream& stream = out;
  stream.put('a');
  stream.put("bc");
  stream.print(" %d-%s\n", 42, "x");
  stream.flush();
  rewind(file);
  char line[32] = {};
  ASSERT_NE(fgets(line, sizeof line, file), nullptr);
  EXPECT_STREQ(line, "abc 42-x\n");
  fclose(file);

  TextFile closed;  // writing without a handle is a no-op, not a crash
  closed.put("ignored");
  closed.print("%d", 1);
  closed.flush();
  EXPECT_EQ(standardOutput().handle(), stdout);
}
