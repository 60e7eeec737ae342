// Merging books and the book statistics.
#include <random>

#include "book/book_merge.h"
#include "book/book_test_util.h"

namespace {

std::string writeBook(const std::string& name, const std::vector<RawRecord>& records,
                      uint8_t flags = 6) {
  bool counts = flags & 2, rating = flags & 4;
  std::vector<uint8_t> bytes = rawHeader(16, uint8_t(10 + (counts ? 6 : 0) + (rating ? 2 : 0)), flags);
  for (const RawRecord& r : records) appendRaw(bytes, r, counts, rating);
  std::string path = scratchPath(name);
  writeBytes(path, bytes);
  return path;
}

// The records of a book as (key, from, to, wins) after its 16-byte header.
std::vector<std::vector<uint64_t>> recordsOf(const std::string& path) {
  BookReader reader;
  std::vector<std::vector<uint64_t>> out;
  if (!reader.open(path.c_str())) return out;
  fseek(reader.file, long(reader.header.headerSize), SEEK_SET);
  BookEntry e;
  while (readBookRecord(e, reader.file, reader.header.flags | BookReadKey) && !feof(reader.file))
    out.push_back({e.key, e.from, e.to, e.wins});
  return out;
}

bool merge(const std::string& a, const std::string& b, const std::string& result,
           std::string* output = nullptr) {
  testing::internal::CaptureStdout();
  bool ok = mergeBooks(a.c_str(), b.c_str(), result.c_str());
  std::string out = testing::internal::GetCapturedStdout();
  if (output) *output = out;
  return ok;
}

}  // namespace

TEST(BookMerge, PositionsOfBothBooksAndTheMastersMovesWhereTheyMeet) {
  std::string master = writeBook("master.mvk", {{5, 1, 2, 10, 0, 0, 2400},
                                                {7, 1, 2, 11, 0, 0, 2400},
                                                {7, 3, 4, 12, 0, 0, 2400},
                                                {9, 1, 2, 13, 0, 0, 2400}});
  std::string second = writeBook("second.mvk", {{2, 5, 6, 20, 0, 0, 2400},
                                                {7, 5, 6, 21, 0, 0, 2400},
                                                {8, 5, 6, 22, 0, 0, 2400},
                                                {12, 5, 6, 23, 0, 0, 2400}});
  std::string result = scratchPath("result.mvk");
  std::string out;
  ASSERT_TRUE(merge(master, second, result, &out));
  EXPECT_EQ(recordsOf(result), (std::vector<std::vector<uint64_t>>{{2, 5, 6, 20},
                                                                   {5, 1, 2, 10},
                                                                   {7, 1, 2, 11},
                                                                   {7, 3, 4, 12},
                                                                   {8, 5, 6, 22},
                                                                   {9, 1, 2, 13},
                                                                   {12, 5, 6, 23}}));
  EXPECT_EQ(out, "merging " + master + " with " + second + " to " + result + "...\n...done!\n" +
                     result + " contains 6 positions with 7 moves\n");
}

TEST(BookMerge, ABookMergedWithItselfIsCopied) {
  std::string master = writeBook("self.mvk", {{3, 1, 2, 1, 2, 3, 2400},
                                              {3, 1, 3, 4, 5, 6, 2470},
                                              {4, 1, 2, 7, 8, 9, 2330}});
  std::string result = scratchPath("copy.mvk");
  ASSERT_TRUE(merge(master, master, result));
  EXPECT_EQ(readBytes(result), readBytes(master));
  std::string out;
  EXPECT_FALSE(merge(master, result, result, &out));
  EXPECT_EQ(out, "cannot merge book to self\n");
}

TEST(BookMerge, TheResultHasTheMastersFlags) {
  std::string master = writeBook("plain.mvk", {{3, 1, 2, 5, 0, 0, 0}}, 2);
  std::string second = writeBook("rated.mvk", {{4, 1, 2, 6, 1, 1, 2470}}, 6);
  std::string result = scratchPath("flags.mvk");
  ASSERT_TRUE(merge(master, second, result));
  std::vector<uint8_t> bytes = readBytes(result);
  ASSERT_EQ(bytes.size(), 16u + 2 * 16u);
  EXPECT_EQ(bytes[14], 16);  // entry size
  EXPECT_EQ(bytes[15], 2);   // flags: counts, no rating code
  BookReader reader;
  ASSERT_TRUE(reader.open(result.c_str()));
  ASSERT_TRUE(reader.findPosition(4));
  fseek(reader.file, 8, SEEK_CUR);
  BookEntry e;
  ASSERT_TRUE(readBookRecord(e, reader.file, reader.header.flags));
  EXPECT_EQ(e.wins, 6u);
  EXPECT_EQ(e.draws, 1u);
  EXPECT_EQ(e.ratingSum, 0.0f);
}

TEST(BookMerge, APositionContributesAtMostThirtyOneRecords) {
  std::vector<RawRecord> records;
  records.push_back({1, 0, 0x10, 1, 0, 0, 0});
  for (int i = 0; i < 40; i++) records.push_back({5, uint8_t(i), 0x30, uint16_t(i + 1), 0, 0, 0});
  records.push_back({6, 0, 0x10, 99, 0, 0, 0});
  std::string master = writeBook("forty.mvk", records);
  std::string empty = writeBook("empty.mvk", {});
  std::string result = scratchPath("capped.mvk");
  ASSERT_TRUE(merge(master, empty, result));
  auto merged = recordsOf(result);
  ASSERT_EQ(merged.size(), 1u + 31u + 1u);
  EXPECT_EQ(merged[31][3], 31u);  // the 31st record of the position, then the next position
  EXPECT_EQ(merged[32][0], 6u);
  EXPECT_EQ(merged[32][3], 99u);
}

TEST(BookMerge, FailuresLeaveNoResultBehind) {
  std::string good = writeBook("good.mvk", {{3, 1, 2, 5, 0, 0, 0}});
  std::string result = scratchPath("never.mvk");
  std::string out;
  EXPECT_FALSE(merge(good, scratchPath("missing.mvk"), result, &out));
  EXPECT_EQ(out, "could not open file: " + scratchPath("missing.mvk") + "\n");
  EXPECT_FALSE(merge(scratchPath("missing.mvk"), good, result, &out));
  EXPECT_FALSE(merge(good, good, "/nonexistent-dir/r.mvk", &out));
  EXPECT_EQ(out, "could not open file: /nonexistent-dir/r.mvk\n");
  EXPECT_FALSE(fileExists(result));
  EXPECT_FALSE(fileExists(result + ".tmp"));
  EXPECT_FALSE(mergeBooks(good.c_str(), nullptr, result.c_str()));
  EXPECT_FALSE(mergeBooks(good.c_str(), good.c_str(), ""));
}

TEST(BookMerge, DamagedInputsNeverCrashAndGiveSortedOutputOfWholeRecords) {
  std::vector<RawRecord> records;
  for (int i = 0; i < 60; i++)
    records.push_back({uint64_t(10 + i / 3), uint8_t(i), 0x20, uint16_t(i + 1), 1, 1, 2400});
  std::string good = writeBook("base.mvk", records);
  std::vector<uint8_t> bytes = readBytes(good);
  std::mt19937 random(11);
  std::string damaged = scratchPath("damaged.mvk");
  std::string result = scratchPath("out.mvk");
  for (int round = 0; round < 200; round++) {
    std::vector<uint8_t> copy = bytes;
    for (int i = 0, n = 1 + int(random() % 8); i < n; i++)
      copy[random() % copy.size()] = uint8_t(random());
    copy.resize(random() % (copy.size() + 1));
    writeBytes(damaged, copy);
    std::string out;
    if (!merge(round % 2 ? damaged : good, round % 2 ? good : damaged, result, &out)) continue;
    std::vector<uint8_t> written = readBytes(result);
    ASSERT_GE(written.size(), 16u);
    uint32_t entry = written[14];
    if (entry != 0) {
      EXPECT_EQ((written.size() - 16) % entry, 0u) << round;
    }
  }
}

TEST(BookStatistics, HistogramByGamesAndRecordsWithoutGames) {
  std::string path = writeBook("log.mvk", {{3, 0x14, 0x34, 1, 0, 0, 2400},
                                           {3, 0x13, 0x33, 1, 1, 0, 2400},
                                           {4, 0x14, 0x34, 1, 1, 1, 2400},
                                           {5, 0x14, 0x34, 2, 2, 0, 2400},
                                           {5, 0x06, 0x25, 0, 0, 0, 2470},
                                           {6, 0x14, 0x34, 3, 1, 1, 2400},
                                           {6, 0x13, 0x33, 50, 40, 10, 2400}});
  BookReader reader;
  ASSERT_TRUE(reader.open(path.c_str()));
  testing::internal::CaptureStdout();
  logBook(reader);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out,
            "header.size=16\n"
            "entry .size=18\n"
            "\n3: zero-sized move: 0x0000000000000005 g1f3          0     0.00     0.00     0.00   2470\n"
            "\n\n"
            "[1-1]: #=2, %=28.57\n"
            "[2-2]: #=1, %=14.29\n"
            "[3-4]: #=2, %=28.57\n"
            "[5-8]: #=1, %=14.29\n"
            "[65-128]: #=1, %=14.29\n"
            "total moves=7, accounted=7\n"
            "total positions=4, moves/position=1.75\n");
}

TEST(BookStatistics, ShowEntryAndDamagedBooks) {
  testing::internal::CaptureStdout();
  showEntry(BookEntry{1, 3, 1, 0, 0.0f, 0x14, 0x34}, nullptr);
  showEntry(BookEntry{1, 1, 1, 0, 2.0f, 0x14, 0x34}, "Nf3");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "e2e4          4    75.00    25.00    87.50\n"
            "Nf3           2    50.00    50.00    75.00   2470\n");
  std::vector<uint8_t> junk(333);
  std::mt19937 random(3);
  for (uint8_t& b : junk) b = uint8_t(random());
  std::string path = scratchPath("junk.mvk");
  writeBytes(path, junk);
  BookReader reader;
  ASSERT_TRUE(reader.open(path.c_str()));
  testing::internal::CaptureStdout();
  logBook(reader);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("total moves=20, accounted=20\n"), std::string::npos);  // 333 / 16
}
