// Strings, words and settings: the text the protocols and the settings file are read through.
#include "base/settings.h"

#include <gtest/gtest.h>

#include "base/rc_string.h"
#include "base/tokenizer.h"
#include "support/temp_dir.h"

TEST(Settings, FileFormatRules) {
  TempDir dir;
  Settings settings;
  settings.set("kept", "1");
  EXPECT_FALSE(settings.load(dir.file("missing.ini").c_str()));
  ASSERT_TRUE(settings.load(
      dir.write("melvok.ini",
                "# comment = ignored\ntt.cachemb = 64\r\nemptyvalue=\nblankvalue= \n"
                "no equals sign\n  # x = y\ntt.cachemb = 128\ntabbed\t=\tv\t\n=value\n"
                "path = a=b\r\nlast.line = no newline")
          .c_str()));
  const char* expected[][2] = {{"kept", "1"},
                               {"tt.cachemb", "128"},  // the last value wins
                               {"blankvalue", ""},
                               {"# x", "y"},           // '#' only in column one
                               {"tabbed\t", "\tv\t"},  // only blanks are trimmed
                               {"", "value"},
                               {"path", "a=b"},  // the first '=' splits
                               {"last.line", "no newline"}};
  ASSERT_EQ(settings.count(), 8);
  for (int i = 0; i < settings.count(); ++i) {
    EXPECT_STREQ(settings.key(i).c_str(), expected[i][0]) << i;
    EXPECT_STREQ(settings.get(expected[i][0]).c_str(), expected[i][1]) << i;
  }
  EXPECT_STREQ(settings.get("TT.cachemb").c_str(), "");  // keys are case-sensitive
}
