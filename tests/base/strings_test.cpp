// Strings, words and settings: the text the protocols and the settings file are read through.
#include "base/rc_string.h"

#include <gtest/gtest.h>

#include "base/settings.h"
#include "base/tokenizer.h"
#include "support/temp_dir.h"

TEST(RcString, CopiesAreValuesThatChangeAlone) {
  char source[] = "e2";
  RcString original(source);
  source[0] = 'x';  // the string keeps its own copy
  RcString copy = original;
  copy.append("e4");
  EXPECT_STREQ(original.c_str(), "e2");
  EXPECT_STREQ(copy.c_str(), "e2e4");
  RcString self("ab");
  self.append(self);
  EXPECT_STREQ(self.c_str(), "abab");
  RcString grown(static_cast<const char*>(nullptr));
  for (int i = 0; i < 1000; ++i) grown.append("ab", 2);
  EXPECT_EQ(grown.length(), 2000);
  EXPECT_EQ(grown.c_str()[2000], '\0');
  // A count cuts the text; a NUL within the count pads with NULs (the length still grows).
  RcString cut("abc");
  cut.append("de", 1);
  cut.append("e", 3);
  EXPECT_STREQ(cut.c_str(), "abcde");
  EXPECT_EQ(cut.length(), 7);
  const RcString text("position startpos");
  for (auto [from, to, expected] : {std::tuple{0, 8, "position"}, {9, 1000, "startpos"}, {17, 20, ""}, {10, 3, ""}})
    EXPECT_STREQ(text.substr(from, to).c_str(), expected) << from;
  // Only blanks count, never tabs.
  EXPECT_STREQ(RcString("  tt.cachemb \t ").trim().c_str(), "tt.cachemb \t");
  EXPECT_STREQ(RcString("   go depth 3").skipLeadingBlanks().c_str(), "go depth 3");
  EXPECT_STREQ(RcString("\t go").skipLeadingBlanks().c_str(), "\t go");
  EXPECT_FALSE(RcString("book.play") == "Book.play");
  EXPECT_TRUE(RcString("book.play.minelo").startsWith("book.play."));
  EXPECT_FALSE(RcString("book").startsWith("book.play."));
}

TEST(Tokenizer, WordsRunsOfSeparatorsAndTheRest) {
  Tokenizer tokens(RcString("go \t wtime 100 "), " \t");
  EXPECT_STREQ(tokens.next().c_str(), "go");
  EXPECT_STREQ(tokens.rest().c_str(), "wtime 100 ");
  EXPECT_STREQ(tokens.next().c_str(), "wtime");
  EXPECT_STREQ(tokens.next().c_str(), "100");
  EXPECT_STREQ(tokens.next().c_str(), "");
  Tokenizer leading(RcString(" go"), " ");
  EXPECT_STREQ(leading.next().c_str(), "");  // a leading separator gives an empty word first
  EXPECT_STREQ(leading.rest().c_str(), "go");
  for (auto [word, number] : {std::pair<const char*, int>{" -12x", -12}, {"abc", 0}, {"99999999999", 2147483647},
                              {"-99999999999", -2147483647 - 1}})
    EXPECT_EQ(clampedNumber(word), number) << word;
}

TEST(Settings, FileFormatRules) {
  TempDir dir;
  Settings settings;
  settings.set("kept", "1");
  EXPECT_FALSE(settings.load(dir.file("missing.ini").c_str()));
  ASSERT_TRUE(settings.load(dir.write("melvok.ini",
                                      "# comment = ignored\ntt.cachemb = 64\r\nemptyvalue=\nblankvalue= \n"
                                      "no equals sign\n  # x = y\ntt.cachemb = 128\ntabbed\t=\tv\t\n=value\n"
                                      "path = a=b\r\nlast.line = no newline")
                                .c_str()));
  const char* expected[][2] = {{"kept", "1"},        {"tt.cachemb", "128"},  // the last value wins
                               {"blankvalue", ""},   {"# x", "y"},           // '#' only in column one
                               {"tabbed\t", "\tv\t"},  // only blanks are trimmed
                               {"", "value"},        {"path", "a=b"},  // the first '=' splits
                               {"last.line", "no newline"}};
  ASSERT_EQ(settings.count(), 8);
  for (int i = 0; i < settings.count(); ++i) {
    EXPECT_STREQ(settings.key(i).c_str(), expected[i][0]) << i;
    EXPECT_STREQ(settings.get(expected[i][0]).c_str(), expected[i][1]) << i;
  }
  EXPECT_STREQ(settings.get("TT.cachemb").c_str(), "");  // keys are case-sensitive
}
