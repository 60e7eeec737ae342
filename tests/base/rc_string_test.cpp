#include "base/rc_string.h"

#include <gtest/gtest.h>

TEST(RcString, ConstructionCopiesAndNullReadsEmpty) {
  char source[] = "hello";
  RcString text(source);
  source[0] = 'j';
  EXPECT_STREQ(text.c_str(), "hello");
  EXPECT_EQ(text.length(), 5);
  EXPECT_EQ(text.refs(), 1);

  RcString fromNull(static_cast<const char*>(nullptr));
  EXPECT_STREQ(fromNull.c_str(), "");
  EXPECT_EQ(fromNull.length(), 0);
  EXPECT_EQ(fromNull.refs(), 1);  // the empty string has a record of its own

  RcString unset;
  EXPECT_STREQ(unset.c_str(), "");
  EXPECT_TRUE(unset.empty());
  RcString copyOfUnset = unset;  // copying a null handle is harmless
  EXPECT_EQ(copyOfUnset.refs(), 0);
}

TEST(RcString, CopiesShareAndReleaseCountsDown) {
  RcString a("shared");
  {
    RcString b = a;
    RcString c;
    c = b;
    EXPECT_TRUE(a.sharesWith(c));
    EXPECT_EQ(a.refs(), 3);
    c = c;  // self-assignment keeps the record alive
    EXPECT_EQ(a.refs(), 3);
    EXPECT_STREQ(c.c_str(), "shared");
  }
  EXPECT_EQ(a.refs(), 1);
  RcString moved = std::move(a);
  EXPECT_EQ(moved.refs(), 1);
  EXPECT_STREQ(moved.c_str(), "shared");
}

TEST(RcString, AppendToSharedStringLeavesOtherHoldersAlone) {
  RcString original("e2");
  RcString other = original;
  other.append("e4");
  EXPECT_STREQ(original.c_str(), "e2");
  EXPECT_STREQ(other.c_str(), "e2e4");
  EXPECT_FALSE(original.sharesWith(other));
  EXPECT_EQ(original.refs(), 1);
  EXPECT_EQ(other.refs(), 1);

  // Unshared: grows in place, many times over.
  RcString grown;
  for (int i = 0; i < 1000; ++i) grown.append("ab", 2);
  EXPECT_EQ(grown.length(), 2000);
  EXPECT_EQ(grown[1998], 'a');
  EXPECT_EQ(grown.c_str()[2000], '\0');
}

TEST(RcString, AppendEdgeCases) {
  RcString text("abc");
  text.append(nullptr, 5);
  text.append("xyz", 0);
  EXPECT_STREQ(text.c_str(), "abc");
  text.append("de", 1);  // only the first `count` characters
  EXPECT_STREQ(text.c_str(), "abcd");
  // A copy that meets a NUL fills the rest of the count with NULs: length grows by count.
  text.append("e", 3);
  EXPECT_EQ(text.length(), 7);
  EXPECT_STREQ(text.c_str(), "abcde");
  RcString both("ab");
  both.append(both);  // appending a string to itself
  EXPECT_STREQ(both.c_str(), "abab");
}

TEST(RcString, Substr) {
  RcString text("position startpos");
  EXPECT_STREQ(text.substr(0, 8).c_str(), "position");
  EXPECT_STREQ(text.substr(9, 1000).c_str(), "startpos");
  EXPECT_STREQ(text.substr(17, 20).c_str(), "");
  EXPECT_STREQ(text.substr(5, 5).c_str(), "");
  EXPECT_STREQ(text.substr(10, 3).c_str(), "");
  EXPECT_EQ(text.substr(10, 3).refs(), 1);
  EXPECT_EQ(text.refs(), 1);
}

TEST(RcString, TrimTouchesOnlyBlanks) {
  RcString padded("  tt.cachemb \t ");
  EXPECT_STREQ(padded.trim().c_str(), "tt.cachemb \t");
  EXPECT_STREQ(RcString("   ").trim().c_str(), "");
  EXPECT_STREQ(RcString("\tx\t").trim().c_str(), "\tx\t");
  RcString clean("book.file");
  RcString trimmed = clean.trim();
  EXPECT_TRUE(trimmed.sharesWith(clean));  // nothing to trim: shared, not copied
}

TEST(RcString, SkipLeadingBlanks) {
  EXPECT_STREQ(RcString("   go depth 3").skipLeadingBlanks().c_str(), "go depth 3");
  EXPECT_STREQ(RcString("    ").skipLeadingBlanks().c_str(), "");
  EXPECT_STREQ(RcString("\t go").skipLeadingBlanks().c_str(), "\t go");  // tabs stay
  RcString word("go ");
  EXPECT_TRUE(word.skipLeadingBlanks().sharesWith(word));
}

TEST(RcString, Comparisons) {
  RcString a("book.play.minelo");
  EXPECT_TRUE(a == "book.play.minelo");
  EXPECT_FALSE(a == "book.play.minel");
  EXPECT_FALSE(a == "Book.play.minelo");
  EXPECT_TRUE(a == RcString("book.play.minelo"));
  EXPECT_FALSE(a == RcString("book.play"));
  EXPECT_TRUE(a.startsWith("book.play."));
  EXPECT_FALSE(RcString("book").startsWith("book.play."));
  EXPECT_TRUE(RcString() == "");
  EXPECT_TRUE(RcString() == RcString(""));
}
