// Merging books. (The statistics of the logbook command are a console diagnostic.)
#include "book/book_merge.h"

#include <gtest/gtest.h>

#include "book/book_test_util.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace {

struct Books {
  TempDir dir;
  std::string write(const std::string& name, const std::vector<RawRecord>& records,
                    uint8_t flags = 6) {
    return dir.write(name, rawBook(records, flags));
  }
  // Merges and returns the output; `ok` tells whether it succeeded.
  std::string merge(const std::string& a, const std::string& b, const std::string& result,
                    bool& ok) {
    return captureStdout([&] { ok = mergeBooks(a.c_str(), b.c_str(), result.c_str()); });
  }
};

TEST(BookMerge, PositionsOfBothBooksAndTheMastersMovesWhereTheyMeet) {
  Books books;
  const std::string master = books.write("master.mvk", {{5, 1, 2, 10, 0, 0, 2400},
                                                        {7, 1, 2, 11, 0, 0, 2400},
                                                        {7, 3, 4, 12, 0, 0, 2400},
                                                        {9, 1, 2, 13, 0, 0, 2400}});
  const std::string second = books.write(
      "second.mvk",
      {{2, 5, 6, 20, 0, 0, 2400}, {7, 5, 6, 21, 0, 0, 2400}, {12, 5, 6, 23, 0, 0, 2400}});
  const std::string result = books.dir.file("result.mvk");
  bool ok = false;
  const std::string out = books.merge(master, second, result, ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(readFile(result), rawBook({{2, 5, 6, 20, 0, 0, 2400},
                                       {5, 1, 2, 10, 0, 0, 2400},
                                       {7, 1, 2, 11, 0, 0, 2400},
                                       {7, 3, 4, 12, 0, 0, 2400},
                                       {9, 1, 2, 13, 0, 0, 2400},
                                       {12, 5, 6, 23, 0, 0, 2400}}));
  EXPECT_TRUE(contains(out, result + " contains 5 positions with 6 moves\n")) << out;
  // A book merged with itself is copied; the result has the master's flags; a position gives at
  // most 31 records.
  books.merge(master, master, result, ok);
  EXPECT_EQ(readFile(result), readFile(master));
  const std::string plain = books.write("plain.mvk", {{3, 1, 2, 5, 0, 0, 0}}, 2);
  books.merge(plain, second, result, ok);
  EXPECT_EQ(readFile(result), rawBook({{2, 5, 6, 20, 0, 0, 0},
                                       {3, 1, 2, 5, 0, 0, 0},
                                       {7, 5, 6, 21, 0, 0, 0},
                                       {12, 5, 6, 23, 0, 0, 0}},
                                      2));
  std::vector<RawRecord> forty, capped;
  for (int i = 0; i < 40; i++) forty.push_back({5, uint8_t(i), 0x30, uint16_t(i + 1), 0, 0, 0});
  forty.push_back({6, 0, 0x10, 99, 0, 0, 0});
  capped.assign(forty.begin(), forty.begin() + 31);
  capped.push_back(forty.back());
  books.merge(books.write("forty.mvk", forty), books.write("empty.mvk", {}), result, ok);
  EXPECT_EQ(readFile(result), rawBook(capped));
}

TEST(BookMerge, FailuresLeaveNoResult) {
  Books books;
  const std::string good = books.write("good.mvk", {{3, 1, 2, 5, 0, 0, 0}});
  const std::string result = books.dir.file("never.mvk"), missing = books.dir.file("missing.mvk");
  bool ok = true;
  EXPECT_EQ(books.merge(good, missing, result, ok), "could not open file: " + missing + "\n");
  EXPECT_FALSE(ok);
  books.merge(missing, good, result, ok);
  EXPECT_FALSE(ok);
  EXPECT_EQ(books.merge(good, good, "/nonexistent-dir/r.mvk", ok),
            "could not open file: /nonexistent-dir/r.mvk\n");
  EXPECT_EQ(books.merge(good, result, result, ok), "cannot merge book to self\n");
  EXPECT_FALSE(mergeBooks(good.c_str(), nullptr, result.c_str()));
  EXPECT_FALSE(mergeBooks(good.c_str(), good.c_str(), ""));
  EXPECT_EQ(readFile(result), "");
}

}  // namespace
