#include "base/log.h"

#include <gtest/gtest.h>

#include <string>

namespace {
std::string logged(void (*body)()) {
  FILE* saved = logFile;
  FILE* file = tmpfile();
  logFile = file;
  body();
  logFile = saved;
  rewind(file);
  std::string text;
  for (int c; (c = fgetc(file)) != EOF;) text += static_cast<char>(c);
  fclose(file);
  return text;
}
}  // namespace

TEST(Log, StartsOnStandardOutputAtInfoLevel) {
  EXPECT_EQ(logFile, stdout);
  EXPECT_EQ(logLevel, 1);
}

TEST(Log, LevelsFilterAndNothingIsAdded) {
  std::string text = logged([] {
    logDebug("debug %d\n", 0);
    logInfo("info %d;", 1);
    logWarning("warning %s;", "two");
    logError("error %c", '3');
  });
  EXPECT_EQ(text, "info 1;warning two;error 3");

  int saved = logLevel;
  logLevel = 3;
  text = logged([] {
    logInfo("info");
    logWarning("warning");
    logError("error");
  });
  logLevel = saved;
  EXPECT_EQ(text, "error");
}

TEST(Log, NoFileMeansNoOutput) {
  testing::internal::CaptureStdout();
  logInfo("seen %d;", 1);
  FILE* saved = logFile;
  logFile = nullptr;
  logInfo("dropped %d\n", 2);
  logError("dropped\n");
  logFile = saved;
  fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "seen 1;");
}
