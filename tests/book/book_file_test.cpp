// The book file: record layout, rating codes, split counts, header variants, lookup limits,
// legacy keys, damaged files, and the keys themselves.
#include <cmath>
#include <random>

#include "book/book_file.h"
#include "book/book_test_util.h"

namespace {

constexpr uint64_t ProbeA = 0x6975491B85D41ED6ull;
constexpr uint64_t ProbeB = 0x4D6CDDB996DC7AE3ull;

struct OpenBook {
  std::unique_ptr<Position> pos = positionFrom(InitialFen);
  BookReader reader;
  bool open(const std::string& path) {
    reader.position = pos.get();
    return reader.open(path.c_str());
  }
};

}  // namespace

TEST(BookRatingCode, PowersOfTwoMapToSeventyEloSteps) {
  EXPECT_EQ(ratingCode(1.0f), 2400);
  EXPECT_EQ(ratingCode(2.0f), 2470);
  EXPECT_EQ(ratingCode(0.5f), 2330);
  EXPECT_EQ(ratingCode(0.0f), 0);
  EXPECT_FLOAT_EQ(ratingFromCode(2400), 1.0f);
  EXPECT_FLOAT_EQ(ratingFromCode(2470), 2.0f);
  // Code 0 decodes to a tiny positive sum, not to 0.
  EXPECT_GT(ratingFromCode(0), 0.0f);
  EXPECT_LT(ratingFromCode(0), 1e-9f);
  EXPECT_DOUBLE_EQ(moveElo(0.0), 0.0);
  EXPECT_NEAR(moveElo(2.0), 2470.0, 1e-9);
  // Damaged sums never produce a code from NaN or infinity.
  EXPECT_EQ(ratingCode(std::nanf("")), 0);
  EXPECT_EQ(ratingCode(-3.0f), 0);
}

TEST(BookRecords, CountsAboveSixteenBitsAreSplitAndJoinedAgain) {
  OpenBook book;
  std::string path = scratchPath("split.mvk");
  BookEntry move{};
  move.key = bookKey(*book.pos);
  move.wins = 70000;
  move.draws = 10;
  move.ratingSum = 2.0f;
  move.from = squareByte("e2");
  move.to = squareByte("e4");
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  BookHeader header;
  setHeaderForWriting(header, BookWriteFlags);
  EXPECT_EQ(header.entrySize, 18u);
  writeBookHeader(header, file);
  writeBookMove(move, file, BookWriteFlags);
  fclose(file);

  std::vector<uint8_t> expected = rawHeader(16, 18, 6);
  appendRaw(expected, {move.key, 0x14, 0x34, 65535, 10, 0, 2470}, true, true);
  appendRaw(expected, {move.key, 0x14, 0x34, 70000 - 65535, 0, 0, 2470}, true, true);
  EXPECT_EQ(readBytes(path), expected);

  ASSERT_TRUE(book.open(path));
  ASSERT_EQ(book.reader.fetchMoves(), 1);
  EXPECT_EQ(book.reader.moves[0].wins, 70000u);
  EXPECT_EQ(book.reader.moves[0].draws, 10u);
  EXPECT_EQ(book.reader.moves[0].losses, 0u);
  EXPECT_FLOAT_EQ(book.reader.moves[0].ratingSum, 4.0f);  // each record carries the whole sum
  EXPECT_NE(book.reader.bookMove(book.reader.moves[0]), 0u);
}

TEST(BookRecords, ThreeFullSeriesAndEmptyMoves) {
  std::string path = scratchPath("series.bin");
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  BookEntry big{0x1234, 2 * 65535 + 1, 0, 65536, 1.0f, 0x14, 0x34};
  BookEntry empty{0x1234, 0, 0, 0, 1.0f, 0x13, 0x33};
  writeBookMove(big, file, BookWriteFlags);
  writeBookMove(empty, file, BookWriteFlags);
  writeBookMove(empty, file, 0);  // without counts a move is always one record
  fclose(file);
  std::vector<uint8_t> bytes = readBytes(path);
  ASSERT_EQ(bytes.size(), 3 * 18u + 10u);
  // Third record: 1 win, no losses left.
  EXPECT_EQ(bytes[36 + 10], 0);
  EXPECT_EQ(bytes[36 + 11], 1);
  EXPECT_EQ(bytes[36 + 14], 0);
  EXPECT_EQ(bytes[36 + 15], 0);
  // Second record carries the last loss.
  EXPECT_EQ(bytes[18 + 15], 1);
}

TEST(BookHeaderLayouts, HeaderlessBookHasSixteenByteRecordsWithoutRatings) {
  OpenBook book;
  uint64_t key = bookKey(*book.pos);
  std::vector<uint8_t> bytes;
  appendRaw(bytes, {key - 5, 1, 2, 1, 1, 1, 0}, true, false);
  appendRaw(bytes, {key, squareByte("d2"), squareByte("d4"), 7, 8, 9, 0}, true, false);
  appendRaw(bytes, {key, squareByte("e2"), squareByte("e4"), 3, 2, 1, 0}, true, false);
  appendRaw(bytes, {key + 9, 1, 2, 1, 1, 1, 0}, true, false);
  std::string path = scratchPath("plain.bin");
  writeBytes(path, bytes);
  ASSERT_TRUE(book.open(path));
  EXPECT_EQ(book.reader.header.headerSize, 0u);
  EXPECT_EQ(book.reader.header.version, 0u);
  EXPECT_EQ(book.reader.header.entrySize, 16u);
  EXPECT_EQ(book.reader.header.flags, BookHasCounts);
  EXPECT_EQ(book.reader.recordCount, 4u);
  ASSERT_EQ(book.reader.fetchMoves(), 2);
  EXPECT_EQ(book.reader.moves[0].games(), 24u);
  EXPECT_EQ(book.reader.moves[0].ratingSum, 0.0f);
  char text[8];
  bookMoveText(book.reader.moves[1], text);
  EXPECT_STREQ(text, "e2e4");
}

TEST(BookHeaderLayouts, SmallHeaderSizeIsReadAsSixteen) {
  OpenBook book;
  uint64_t key = bookKey(*book.pos);
  std::vector<uint8_t> bytes = rawHeader(8, 18, 6);
  appendRaw(bytes, {key, squareByte("c2"), squareByte("c4"), 5, 0, 0, 2400}, true, true);
  std::string path = scratchPath("h8.mvk");
  writeBytes(path, bytes);
  ASSERT_TRUE(book.open(path));
  EXPECT_EQ(book.reader.header.headerSize, 16u);
  ASSERT_EQ(book.reader.fetchMoves(), 1);
  EXPECT_EQ(book.reader.moves[0].wins, 5u);
  EXPECT_FLOAT_EQ(book.reader.moves[0].ratingSum, 1.0f);
}

TEST(BookHeaderLayouts, LargerEntriesAreSkippedAndImpossibleOnesRefused) {
  OpenBook book;
  uint64_t key = bookKey(*book.pos);
  std::vector<uint8_t> bytes = rawHeader(16, 20, 6);  // two spare bytes per record
  for (int i = 0; i < 3; i++) {
    appendRaw(bytes, {key, uint8_t(0x10 + i), uint8_t(0x30 + i), uint16_t(i + 1), 0, 0, 2400},
              true, true);
    bytes.push_back(0xEE);
    bytes.push_back(0xEE);
  }
  std::string path = scratchPath("wide.mvk");
  writeBytes(path, bytes);
  ASSERT_TRUE(book.open(path));
  ASSERT_EQ(book.reader.fetchMoves(), 3);
  EXPECT_EQ(book.reader.moves[2].wins, 3u);

  // An entry size of 0 (or one too small for the record's fields) cannot be read at all.
  for (uint8_t size : {0, 10, 17}) {
    std::vector<uint8_t> broken = rawHeader(16, size, 6);
    appendRaw(broken, {key, 0x14, 0x34, 1, 0, 0, 2400}, true, true);
    writeBytes(path, broken);
    EXPECT_FALSE(book.open(path)) << int(size);
    EXPECT_FALSE(book.reader.isOpen());
  }
}

TEST(BookLookup, FortyMovesOfOnePositionGiveTheFirstThirtyTwo) {
  OpenBook book;
  uint64_t key = bookKey(*book.pos);
  std::vector<uint8_t> bytes = rawHeader(16, 18, 6);
  for (int i = 0; i < 40; i++)
    appendRaw(bytes, {key, uint8_t(i & 7), uint8_t(0x20 + i), uint16_t(100 - i), 0, 0, 2400}, true,
              true);
  std::string path = scratchPath("forty.mvk");
  writeBytes(path, bytes);
  ASSERT_TRUE(book.open(path));
  ASSERT_EQ(book.reader.fetchMoves(), MaxBookMoves);
  for (int i = 0; i < MaxBookMoves; i++) EXPECT_EQ(book.reader.moves[i].wins, 100u - i);
}

TEST(BookLookup, BinarySearchFindsEveryKeyAndNothingElse) {
  std::vector<uint64_t> keys = {2, 3, 3, 3, 10, 0x8000000000000000ull, 0xFFFFFFFF00000001ull};
  for (size_t count = 1; count <= keys.size(); count++) {
    std::vector<uint8_t> bytes = rawHeader(16, 18, 6);
    for (size_t i = 0; i < count; i++) appendRaw(bytes, {keys[i], 0, 0x10, 1, 0, 0, 0}, true, true);
    std::string path = scratchPath("search.mvk");
    writeBytes(path, bytes);
    BookReader reader;
    ASSERT_TRUE(reader.open(path.c_str()));
    for (size_t i = 0; i < count; i++) {
      ASSERT_TRUE(reader.findPosition(keys[i])) << count << " " << i;
      uint64_t at = 0;
      ASSERT_TRUE(readBookKey(reader.file, at));
      EXPECT_EQ(at, keys[i]);
      // The file stands at the first record of the key.
      size_t first = std::find(keys.begin(), keys.end(), keys[i]) - keys.begin();
      EXPECT_EQ(ftell(reader.file), long(16 + first * 18 + 8));
    }
    for (uint64_t absent : {uint64_t(1), uint64_t(4), uint64_t(0x7FFFFFFFFFFFFFFF), ~uint64_t(0)})
      EXPECT_FALSE(reader.findPosition(absent)) << count << " " << absent;
  }
}

TEST(BookLookup, LegacyKeysAreChosenByTheTwoProbeKeys) {
  auto bookWith = [](const std::vector<uint64_t>& keys, const std::string& path) {
    std::vector<uint8_t> bytes = rawHeader(16, 18, 6);
    for (uint64_t key : keys) appendRaw(bytes, {key, 0x14, 0x34, 1, 0, 0, 0}, true, true);
    writeBytes(path, bytes);
  };
  std::string path = scratchPath("legacy.mvk");
  BookReader reader;
  bookWith({7, ProbeB, ProbeA}, path);
  ASSERT_TRUE(reader.open(path.c_str()));
  EXPECT_FALSE(reader.legacyKeys);
  bookWith({7, ProbeA}, path);
  ASSERT_TRUE(reader.open(path.c_str()));
  EXPECT_TRUE(reader.legacyKeys);
  bookWith({7, 9}, path);
  ASSERT_TRUE(reader.open(path.c_str()));
  EXPECT_FALSE(reader.legacyKeys);
  bookWith({ProbeB}, path);
  ASSERT_TRUE(reader.open(path.c_str()));
  EXPECT_FALSE(reader.legacyKeys);
}

TEST(BookLookup, LegacyKeyTracksKingAndRookMovesOfTheGame) {
  auto pos = positionFrom(InitialFen);
  // Start position: the current castling term is replaced by the legacy value 15.
  EXPECT_EQ(legacyBookKey(*pos),
            bookKey(*pos) ^ tables.castleKeys[15] ^ 0xFFFFFFFFFFFFFFF7ull);
  playMoves(*pos, {"e4", "e5", "Ke2", "Nf6", "Ke1", "Ng8"});
  // White has lost both rights, and its king left e1 once (value 5); coming back changes
  // nothing.
  const uint64_t fromE1 = 0xD7AFFBF34FDFBF77ull, fromH8 = 0xE07CCF52555B5932ull;
  EXPECT_EQ(pos->castleRights, BlackKingSide | BlackQueenSide);
  EXPECT_EQ(legacyBookKey(*pos),
            bookKey(*pos) ^ tables.castleKeys[10] ^ 0xFFFFFFFFFFFFFFF7ull ^ fromE1);
  // A rook leaving h8 adds value 8.
  playMoves(*pos, {"Nf3", "Nf6", "Ng1", "Rg8"});
  EXPECT_EQ(legacyBookKey(*pos), bookKey(*pos) ^ tables.castleKeys[pos->castleRights] ^
                                     0xFFFFFFFFFFFFFFF7ull ^ fromE1 ^ fromH8);
}

TEST(BookLookup, LegacyBookAnswersForTheConvertedKey) {
  OpenBook book;
  playMoves(*book.pos, {"e4"});
  uint64_t legacy = legacyBookKey(*book.pos);
  std::vector<uint64_t> keys = {legacy, ProbeA, bookKey(*book.pos)};
  std::sort(keys.begin(), keys.end());
  std::vector<uint8_t> bytes = rawHeader(16, 18, 6);
  for (uint64_t key : keys)
    appendRaw(bytes, {key, squareByte("e7"), squareByte("e5"), uint16_t(key == legacy ? 9 : 1), 0,
                      0, 0},
              true, true);
  std::string path = scratchPath("legacy2.mvk");
  writeBytes(path, bytes);
  ASSERT_TRUE(book.open(path));
  ASSERT_TRUE(book.reader.legacyKeys);
  ASSERT_EQ(book.reader.fetchMoves(), 1);
  EXPECT_EQ(book.reader.moves[0].wins, 9u);
}

TEST(BookDamage, TruncatedAndCorruptedBooksNeverCrashALookup) {
  OpenBook book;
  uint64_t key = bookKey(*book.pos);
  std::vector<uint8_t> good = rawHeader(16, 18, 6);
  for (int i = 0; i < 20; i++)
    appendRaw(good, {key - 10 + i, uint8_t(i), uint8_t(0x20 + i), 3, 2, 1, 2400}, true, true);
  std::string path = scratchPath("damaged.mvk");
  // Every truncation: the lookup finds the key only while its record is whole.
  for (size_t length = 0; length <= good.size(); length++) {
    writeBytes(path, std::vector<uint8_t>(good.begin(), good.begin() + length));
    if (!book.open(path)) continue;
    int count = book.reader.fetchMoves();
    bool whole = length >= 16 + 11 * 18;
    EXPECT_EQ(count, whole ? 1 : 0) << length;
  }
  // Random damage: anything may come back, but within bounds and without a crash.
  std::mt19937 random(7);
  for (int round = 0; round < 300; round++) {
    std::vector<uint8_t> bytes = good;
    int flips = 1 + int(random() % 12);
    for (int i = 0; i < flips; i++) bytes[random() % bytes.size()] = uint8_t(random());
    if (round % 3 == 0) bytes.resize(random() % bytes.size());
    writeBytes(path, bytes);
    if (!book.open(path)) continue;
    int count = book.reader.fetchMoves();
    EXPECT_GE(count, 0);
    EXPECT_LE(count, MaxBookMoves);
    for (int i = 0; i < count; i++) book.reader.bookMove(book.reader.moves[i]);
  }
  EXPECT_FALSE(book.open(scratchPath("missing.mvk")));
}

TEST(BookSave, ReplacesTheOldBookOnlyWhenComplete) {
  std::string path = scratchPath("save.mvk");
  writeText(path, "old book");
  {
    BookFileWriter writer;
    ASSERT_TRUE(writer.open(path.c_str()));
    fputs("half a book", writer.file());
    // Dropped without commit: the old book stays, no temporary file is left behind.
  }
  std::vector<uint8_t> old = readBytes(path);
  EXPECT_EQ(std::string(old.begin(), old.end()), "old book");
  EXPECT_FALSE(fileExists(path + ".tmp"));

  BookEntry entries[3] = {};
  entries[1] = BookEntry{0x42, 1, 2, 3, 1.0f, 0x14, 0x34};
  testing::internal::CaptureStdout();
  EXPECT_TRUE(saveBook(entries, 3, path.c_str()));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "saving book to " + path + "\nsaved 1 moves\n");
  EXPECT_EQ(readBytes(path).size(), 16u + 18u);
  EXPECT_FALSE(fileExists(path + ".tmp"));

  testing::internal::CaptureStdout();
  EXPECT_FALSE(saveBook(entries, 3, "/nonexistent-dir/x.mvk"));
  out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("could not open file: /nonexistent-dir/x.mvk\n"), std::string::npos);
}
