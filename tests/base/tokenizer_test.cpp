#include "base/tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::vector<std::string> words(const char* line) {
  Tokenizer tokens(RcString(line), " \t");
  std::vector<std::string> result;
  for (RcString word = tokens.next(); !word.empty(); word = tokens.next())
    result.push_back(word.c_str());
  return result;
}
}  // namespace

TEST(Tokenizer, RunsOfBlanksAndTabsSeparateOnce) {
  Tokenizer tokens(RcString("go  wtime 100"), " \t");
  EXPECT_STREQ(tokens.next().c_str(), "go");
  EXPECT_STREQ(tokens.rest().c_str(), "wtime 100");
  EXPECT_STREQ(tokens.next().c_str(), "wtime");
  EXPECT_STREQ(tokens.next().c_str(), "100");
  EXPECT_STREQ(tokens.rest().c_str(), "");
  EXPECT_STREQ(tokens.next().c_str(), "");
  EXPECT_STREQ(tokens.next().c_str(), "");

  EXPECT_EQ(words("go\twtime \t 100"), (std::vector<std::string>{"go", "wtime", "100"}));
  EXPECT_EQ(words("e4 e5   "), (std::vector<std::string>{"e4", "e5"}));
}

TEST(Tokenizer, LeadingSeparatorGivesEmptyWordFirst) {
  Tokenizer tokens(RcString(" go"), " \t");
  EXPECT_STREQ(tokens.next().c_str(), "");
  EXPECT_STREQ(tokens.rest().c_str(), "go");
  EXPECT_TRUE(words("").empty());
}

TEST(Tokenizer, LastWordIsSharedNotCopied) {
  RcString line("quit");
  Tokenizer tokens(line, " \t");
  RcString word = tokens.next();
  EXPECT_TRUE(word.sharesWith(line));
  EXPECT_STREQ(tokens.rest().c_str(), "");
}

TEST(Tokenizer, OtherSeparators) {
  Tokenizer tokens(RcString("a=b==c"), "=");
  EXPECT_STREQ(tokens.next().c_str(), "a");
  EXPECT_STREQ(tokens.next().c_str(), "b");
  EXPECT_STREQ(tokens.next().c_str(), "c");
}
