#include "base/settings.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

TEST(Settings, FileFormatRules) {
  TempDir dir;
  std::string path = dir.write("melvok.ini",
                               "# comment = ignored\n"
                               "tt.cachemb = 64\n"
                               "book.file=book.mvk\n"
                               "emptyvalue=\n"
                               "blankvalue= \n"
                               "=value\n"
                               "no equals sign\n"
                               "  # x = y\n"
                               "\n"
                               "search.nthreads = 2\n"
                               "tt.cachemb = 128\n"
                               "tabbed\t=\tv\t\n"
                               "path = a=b\n"
                               "last.line = no newline");
  Settings settings;
  ASSERT_TRUE(settings.load(path.c_str()));
  EXPECT_STREQ(settings.get("tt.cachemb").c_str(), "128");  // the last value wins
  EXPECT_STREQ(settings.get("book.file").c_str(), "book.mvk");
  EXPECT_STREQ(settings.get("# x").c_str(), "y");  // '#' only comments in column one
  EXPECT_STREQ(settings.get("# comment").c_str(), "");
  EXPECT_STREQ(settings.get("").c_str(), "value");
  EXPECT_STREQ(settings.get("path").c_str(), "a=b");        // the first '=' splits
  EXPECT_STREQ(settings.get("tabbed\t").c_str(), "\tv\t");  // only blanks are trimmed
  EXPECT_STREQ(settings.get("last.line").c_str(), "no newline");
  EXPECT_STREQ(settings.get("TT.cachemb").c_str(), "");  // keys are case-sensitive

  // Order of first appearance; "key=" is skipped, "key= " is stored empty.
  const char* expected[] = {"tt.cachemb",      "book.file", "blankvalue", "",         "# x",
                            "search.nthreads", "tabbed\t",  "path",       "last.line"};
  ASSERT_EQ(settings.count(), 9);
  for (int i = 0; i < settings.count(); ++i) EXPECT_STREQ(settings.key(i).c_str(), expected[i]);
  EXPECT_STREQ(settings.value(2).c_str(), "");
}

TEST(Settings, WindowsLineEnds) {
  TempDir dir;
  Settings settings;
  ASSERT_TRUE(
      settings.load(dir.write("dos.ini", "book.file = book.mvk\r\n# c\r\nkey=\r\n").c_str()));
  EXPECT_STREQ(settings.get("book.file").c_str(), "book.mvk");
  EXPECT_EQ(settings.count(), 1);
}

TEST(Settings, MissingFileLeavesTableUnchanged) {
  Settings settings;
  settings.set("book.play.minelo", "2200");
  TempDir dir;
  EXPECT_FALSE(settings.load(dir.file("missing.ini").c_str()));
  EXPECT_EQ(settings.count(), 1);
  EXPECT_STREQ(settings.get("book.play.minelo").c_str(), "2200");
  EXPECT_STREQ(settings.get("missing").c_str(), "");
}

TEST(Settings, SecondFileAddsAndOverrides) {
  TempDir dir;
  Settings settings;
  ASSERT_TRUE(settings.load(dir.write("a", "a = 1\nb = 2\n").c_str()));
  ASSERT_TRUE(settings.load(dir.write("b", "b = 3\nc = 4\n").c_str()));
  ASSERT_EQ(settings.count(), 3);
  EXPECT_STREQ(settings.key(1).c_str(), "b");
  EXPECT_STREQ(settings.get("b").c_str(), "3");
  EXPECT_STREQ(settings.get("c").c_str(), "4");
}

TEST(Settings, ManyKeysAndLongValues) {
  TempDir dir;
  std::string content;
  std::string longValue(500, 'v');
  for (int i = 0; i < 200; ++i)
    content += "key" + std::to_string(i) + " = " + longValue + std::to_string(i) + "\n";
  Settings settings;
  ASSERT_TRUE(settings.load(dir.write("many", content).c_str()));
  ASSERT_EQ(settings.count(), 200);
  EXPECT_EQ(std::string(settings.get("key199").c_str()), longValue + "199");
  EXPECT_STREQ(settings.key(0).c_str(), "key0");
}
