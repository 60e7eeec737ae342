// The book file: the keys (part of the file format), rating codes and counts in records, damaged
// files and saving. (Lookups in whole books: the round trip and the master-games tests.)
#include "book/book_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <random>

#include "book/book_test_util.h"
#include "support/positions.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace {

struct OpenBook {
  TempDir dir;
  std::unique_ptr<Position> pos = positionFrom(InitialFen);
  BookReader reader;
  uint64_t key() const { return bookKey(*pos); }
  bool open(const std::string& bytes) { return reader.open(dir.write("book.mvk", bytes).c_str()); }
};

// Book files store position keys: these must never change, or every book built so far stops
// answering.
TEST(BookKeys, KeysOfKnownPositionsArePinned) {
  const struct {
    const char* fen;
    uint64_t key;
  } pinned[] = {
      {InitialFen, 0x58E161561FE231FCull},
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1", 0x1C3D11AE410FA18Dull},
      {"rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3", 0xFAB47C7179D1C5DCull},
      {"r3k2r/8/8/8/8/8/8/R3K2R b Kq - 0 1", 0xB34C1631F9794252ull},
      {"8/8/8/8/8/8/8/K6k w - - 0 1", 0x07604871AD693D46ull},
  };
  for (const auto& p : pinned) EXPECT_EQ(bookKey(*positionFrom(p.fen)), p.key) << p.fen;
  // Played positions have the keys of their set-up; the side to move is the lowest bit.
  auto played = positionFrom(InitialFen);
  playMoves(*played, {"e4"});
  EXPECT_EQ(bookKey(*played), pinned[1].key);
  EXPECT_EQ(bookKey(*played) ^ played->hashKey, 1u);
  playMoves(*played, {"d5", "e5", "f5"});
  EXPECT_EQ(bookKey(*played), pinned[2].key);
}

TEST(BookRecords, RatingCodesAndCountsAboveSixteenBits) {
  // A rating sum of 1 is code 2400, each doubling 70 more; codes keep a sum within half a step.
  EXPECT_EQ(ratingCode(1.0f), 2400);
  for (float sum = 0.01f; sum < 1e6f; sum *= 1.37f)
    EXPECT_NEAR(ratingFromCode(ratingCode(sum)) / sum, 1.0, 0.006) << sum;
  for (float damaged : {0.0f, -3.0f, std::nanf("")}) EXPECT_EQ(ratingCode(damaged), 0) << damaged;

  // Counts above 16 bits are split over records of the same move and joined again.
  OpenBook book;
  TempDir dir;
  FILE* file = fopen(dir.file("split.mvk").c_str(), "wb");
  BookHeader header;
  setHeaderForWriting(header, BookWriteFlags);
  writeBookHeader(header, file);
  writeBookMove(BookEntry{book.key(), 70000, 10, 0, 2.0f, 0x14, 0x34}, file, BookWriteFlags);
  fclose(file);
  const std::string written = readFile(dir.file("split.mvk"));
  EXPECT_EQ(written, rawBook({{book.key(), 0x14, 0x34, 65535, 10, 0, 2470},
                              {book.key(), 0x14, 0x34, 70000 - 65535, 0, 0, 2470}}));
  ASSERT_TRUE(book.open(written));
  ASSERT_EQ(book.reader.fetchMoves(*book.pos), 1);
  EXPECT_EQ(book.reader.moves[0].wins, 70000u);
  EXPECT_EQ(book.reader.moves[0].draws, 10u);
}

TEST(BookDamage, TruncatedAndCorruptedBooksGiveWholeRecordsAndLegalMovesOnly) {
  OpenBook book;
  std::vector<RawRecord> records;
  for (int i = 0; i < 20; i++)
    records.push_back({book.key() - 10 + uint64_t(i), uint8_t(i == 10 ? 0x14 : i),
                       uint8_t(i == 10 ? 0x34 : 0x20 + i), 3, 2, 1, 2400});
  const std::string good = rawBook(records);
  // Every truncation: the start position's move is found exactly while its record is whole.
  for (size_t length = 0; length <= good.size(); length++)
    EXPECT_TRUE(!book.open(good.substr(0, length)) ||
                book.reader.fetchMoves(*book.pos) == (length >= 16 + 11 * 18))
        << length;
  // Random damage: anything may come back, but at most 32 moves, each legal here or none.
  std::mt19937 random(7);
  for (int round = 0; round < 300; round++) {
    std::string bytes = good;
    for (int i = 1 + int(random() % 12); i > 0; i--)
      bytes[random() % bytes.size()] = char(random());
    if (round % 3 == 0) bytes.resize(random() % bytes.size());
    if (!book.open(bytes)) continue;
    const int count = book.reader.fetchMoves(*book.pos);
    EXPECT_LE(count, MaxBookMoves);
    for (int i = 0; i < count; i++) {
      const Move m = book.reader.bookMove(*book.pos, book.reader.moves[i]);
      EXPECT_TRUE(m == 0 || isLegalMove(*book.pos, m)) << std::hex << m;
    }
  }
  EXPECT_FALSE(book.reader.open(book.dir.file("missing.mvk").c_str()));
}

TEST(BookSave, ReplacesTheOldBookOnlyWhenComplete) {
  TempDir dir;
  const std::string path = dir.write("save.mvk", "old book");
  {
    BookFileWriter writer;
    ASSERT_TRUE(writer.open(path.c_str()));
    fputs("half a book", writer.file());
    // Dropped without commit: the old book stays, no temporary file is left behind.
  }
  EXPECT_EQ(readFile(path), "old book");
  BookEntry entries[3] = {};
  entries[1] = BookEntry{0x42, 1, 2, 3, 1.0f, 0x14, 0x34};
  EXPECT_EQ(captureStdout([&] { EXPECT_TRUE(saveBook(entries, 3, path.c_str())); }),
            "saving book to " + path + "\nsaved 1 moves\n");
  EXPECT_EQ(readFile(path), rawBook({{0x42, 0x14, 0x34, 1, 2, 3, 2400}}));
  EXPECT_TRUE(
      contains(captureStdout([&] { EXPECT_FALSE(saveBook(entries, 3, "/nonexistent-dir/x.mvk")); }),
               "could not open file: /nonexistent-dir/x.mvk\n"));
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    files += entry.is_regular_file();
  EXPECT_EQ(files, 1) << "a temporary file was left behind";
}

}  // namespace
