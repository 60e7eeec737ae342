// Transposition table: sizing, generations, replacement, cut rules and move validation.
#include <gtest/gtest.h>

#include "board/position.h"
#include "search/node_rules.h"
#include "search/tt.h"

namespace {

struct TtTest : ::testing::Test {
  static void SetUpTestSuite() { initTables(); }
  Position pos;
  TtCounters counters;
  void SetUp() override { clearPosition(pos); }

  // A position whose key lands on `index` (within a 256 KB table) with check value `check`.
  Position& keyed(uint32_t index, uint32_t check, int side = White) {
    pos.hashKey = (uint64_t(check) << 32) | index;
    pos.sideToMove = uint32_t(side);
    return pos;
  }
  TtEntry entry(Move move, int score, int depth, uint8_t bound) {
    TtEntry e;
    e.move = move;
    e.score = int16_t(score);
    e.depth = int16_t(depth);
    e.bound = bound;
    return e;
  }
};

TEST_F(TtTest, SizesRoundDownToPowersOfTwoWithAFloor) {
  Tt table(0);
  EXPECT_EQ(table.sizeBytes(), 256u * 1024);
  EXPECT_EQ(table.entryCount(), 16384u);
  table.resize(1);
  EXPECT_EQ(table.entryCount(), 16384u);
  table.resize(100);
  EXPECT_EQ(table.entryCount(), 16384u);
  table.resize(255);
  EXPECT_EQ(table.sizeBytes(), 256u * 1024);
  table.resize(3000);
  EXPECT_EQ(table.sizeBytes(), 2048u * 1024);
  table.resize(4096);
  EXPECT_EQ(table.sizeBytes(), 4096u * 1024);
}

TEST_F(TtTest, ResizeToTheSameSizeKeepsEntriesAndGeneration) {
  Tt table(256);
  table.newSearch();
  table.store(keyed(100, 0xABCD), entry(0, 42, 5, BoundExact), counters);
  table.resize(300);  // still 256 KB
  EXPECT_EQ(table.generation(), 2);
  TtEntry out;
  ASSERT_TRUE(table.probe(keyed(100, 0xABCD), out));
  EXPECT_EQ(out.score, 42);
  table.resize(512);  // a new size starts empty at generation 1
  EXPECT_EQ(table.generation(), 1);
  EXPECT_FALSE(table.probe(keyed(100, 0xABCD), out));
}

TEST_F(TtTest, ClearEmptiesAndRestartsAtGenerationOne) {
  Tt table(256);
  table.newSearch();
  table.newSearch();
  table.store(keyed(7, 0x1234), entry(0, 1, 1, BoundLower), counters);
  table.clear();
  EXPECT_EQ(table.generation(), 1);
  TtEntry out;
  EXPECT_FALSE(table.probe(keyed(7, 0x1234), out));
  table.newSearch();
  EXPECT_EQ(table.generation(), 2);
}

TEST_F(TtTest, ProbeReturnsWhatWasStoredAndTheOtherSideMisses) {
  Tt table(256);
  table.store(keyed(40, 0x55AA55AA), entry(makeMoveWord(0x14, 0x34), -123, 7, BoundUpper),
              counters);
  TtEntry out;
  ASSERT_TRUE(table.probe(keyed(40, 0x55AA55AA), out));
  EXPECT_EQ(out.move, makeMoveWord(0x14, 0x34));
  EXPECT_EQ(out.score, -123);
  EXPECT_EQ(out.depth, 7);
  EXPECT_EQ(out.bound, BoundUpper);
  EXPECT_EQ(out.generation, table.generation());
  EXPECT_EQ(out.lock, 0x55AA55AAu);
  // Black to move lands four entries further on: a different cluster, no hit.
  EXPECT_FALSE(table.probe(keyed(40, 0x55AA55AA, Black), out));
  table.store(keyed(40, 0x55AA55AA, Black), entry(0, 9, 1, BoundLower), counters);
  ASSERT_TRUE(table.probe(keyed(40, 0x55AA55AA), out));
  EXPECT_EQ(out.score, -123);
}

TEST_F(TtTest, ShallowestCurrentEntryGoesEarlierSlotOnTie) {
  Tt table(256);
  const int depths[4] = {6, 3, 3, 9};
  for (uint32_t i = 0; i < 4; i++)
    table.store(keyed(64 + i, 1000 + i), entry(0, 0, depths[i], BoundExact), counters);
  EXPECT_EQ(counters.newStores, 4u);
  table.store(keyed(64, 2000), entry(0, 0, 10, BoundExact), counters);
  TtEntry out;
  EXPECT_FALSE(table.probe(keyed(65, 1001), out));  // slot 1 (depth 3, earlier tie) went
  EXPECT_TRUE(table.probe(keyed(66, 1002), out));
  EXPECT_TRUE(table.probe(keyed(64, 1000), out));
  EXPECT_TRUE(table.probe(keyed(67, 1003), out));
  EXPECT_TRUE(table.probe(keyed(64, 2000), out));
  EXPECT_EQ(counters.overwrites, 1u);
}

TEST_F(TtTest, OlderGenerationsAreReplacedFirst) {
  Tt table(256);
  table.store(keyed(128, 1), entry(0, 0, 40, BoundExact), counters);  // old, deep
  table.newSearch();
  for (uint32_t i = 1; i < 4; i++)
    table.store(keyed(128 + i, 1 + i), entry(0, 0, 2, BoundExact), counters);
  counters = TtCounters();
  table.store(keyed(128, 99), entry(0, 0, 1, BoundExact), counters);
  TtEntry out;
  EXPECT_FALSE(table.probe(keyed(128, 1), out));
  EXPECT_EQ(counters.newStores, 1u);
  EXPECT_EQ(counters.overwrites, 0u);  // the victim was of an older search
}

TEST_F(TtTest, SamePositionReplacementRules) {
  Tt table(256);
  Position& p = keyed(300, 77);
  TtEntry out;
  table.store(p, entry(0, 50, 8, BoundLower), counters);
  // A shallower upper bound does not displace a deeper lower bound.
  table.store(p, entry(0, 10, 3, BoundUpper), counters);
  ASSERT_TRUE(table.probe(p, out));
  EXPECT_EQ(out.bound, BoundLower);
  EXPECT_EQ(out.score, 50);
  // A shallower but higher lower bound does.
  table.store(p, entry(0, 80, 3, BoundLower), counters);
  ASSERT_TRUE(table.probe(p, out));
  EXPECT_EQ(out.score, 80);
  EXPECT_EQ(out.depth, 3);
  // Deeper always wins; an exact entry keeps everything shallower out.
  table.store(p, entry(0, 5, 6, BoundExact), counters);
  table.store(p, entry(0, 900, 2, BoundLower), counters);
  table.store(p, entry(0, -900, 2, BoundUpper), counters);
  ASSERT_TRUE(table.probe(p, out));
  EXPECT_EQ(out.bound, BoundExact);
  EXPECT_EQ(out.score, 5);
  // A deeper upper bound gives way to a shallower, lower upper bound.
  Position& q = keyed(301, 78);
  table.store(q, entry(0, 40, 9, BoundUpper), counters);
  table.store(q, entry(0, 20, 1, BoundExact), counters);
  ASSERT_TRUE(table.probe(q, out));
  EXPECT_EQ(out.score, 20);
  table.store(q, entry(0, 30, 0, BoundLower), counters);  // shallower than the exact entry
  ASSERT_TRUE(table.probe(q, out));
  EXPECT_EQ(out.score, 20);
  EXPECT_EQ(counters.updates, 3u);
}

TEST_F(TtTest, DeletePositionRemovesOnlyThatPosition) {
  Tt table(256);
  table.store(keyed(500, 5), entry(0, 1, 1, BoundExact), counters);
  table.store(keyed(501, 6), entry(0, 2, 1, BoundExact), counters);
  table.deletePosition(keyed(500, 5));
  TtEntry out;
  EXPECT_FALSE(table.probe(keyed(500, 5), out));
  EXPECT_TRUE(table.probe(keyed(501, 6), out));
}

TEST_F(TtTest, FillEstimateIsPerMilleOfNewStoresNetOfOverwrites) {
  Tt table(256);
  EXPECT_EQ(table.fillPerMille(16384, 0), 1000u);
  EXPECT_EQ(table.fillPerMille(1700, 62), 99u);
  EXPECT_EQ(table.fillPerMille(3, 5), 0u);
}

TEST_F(TtTest, StoredMoveMustStillFindItsVictim) {
  Tt table(256);
  ASSERT_TRUE(setFen(pos, "4k3/8/8/3p4/4N3/8/8/4K3 w - - 0 1"));
  const int pawn = pos.at(0x43);
  const int knight = pos.at(0x34);
  const Move capture = makeMoveWord(0x34, 0x43, pawn);
  table.store(pos, entry(capture, 10, 3, BoundLower), counters);
  TtEntry out;
  ASSERT_TRUE(table.probe(pos, out));
  EXPECT_EQ(out.move, capture);

  // A colliding position with a different pawn number on d5: the move follows the board.
  Position other;
  ASSERT_TRUE(setFen(other, "4k3/8/8/2pp4/4N3/8/8/4K3 w - - 0 1"));
  other.hashKey = pos.hashKey;
  const int otherPawn = other.at(0x43);
  ASSERT_NE(otherPawn, pawn);
  ASSERT_TRUE(table.probe(other, out));
  EXPECT_EQ(out.move, makeMoveWord(0x34, 0x43, otherPawn));

  // A rook on d5 instead: the stored capture no longer fits and the move is dropped, while
  // score, depth and bound survive.
  ASSERT_TRUE(setFen(other, "4k3/8/8/3r4/4N3/8/8/4K3 w - - 0 1"));
  other.hashKey = pos.hashKey;
  ASSERT_TRUE(table.probe(other, out));
  EXPECT_EQ(out.move, 0u);
  EXPECT_EQ(out.score, 10);
  EXPECT_EQ(out.depth, 3);
  (void)knight;
}

TEST(TableScores, MateScoresAreStoredRelativeToTheNode) {
  EXPECT_EQ(scoreToTable(29995, 3), 29998);
  EXPECT_EQ(scoreFromTable(29998, 3), 29995);
  EXPECT_EQ(scoreToTable(-29990, 4), -29994);
  EXPECT_EQ(scoreFromTable(-29994, 4), -29990);
  EXPECT_EQ(scoreToTable(3000, 9), 3000);
  EXPECT_EQ(scoreFromTable(-3000, 9), -3000);
  EXPECT_EQ(scoreToTable(3001, 2), 3003);
}

TEST(TableCut, BoundsAndDepths) {
  // Not deeper than the entry: exact always, lower at beta, upper at alpha.
  EXPECT_TRUE(tableCut(5, 6, BoundExact, 6, -100, 100));
  EXPECT_TRUE(tableCut(5, 6, BoundExact, 1, -100, 100));
  EXPECT_FALSE(tableCut(5, 6, BoundExact, 7, -100, 100));
  EXPECT_TRUE(tableCut(100, 4, BoundLower, 4, 50, 100));
  EXPECT_FALSE(tableCut(99, 4, BoundLower, 4, 50, 100));
  EXPECT_TRUE(tableCut(50, 4, BoundUpper, 3, 50, 100));
  EXPECT_FALSE(tableCut(51, 4, BoundUpper, 3, 50, 100));
  // Deeper nodes: only won or lost scores cut.
  EXPECT_TRUE(tableCut(3500, 2, BoundLower, 9, 3000, 3500));
  EXPECT_FALSE(tableCut(3500, 2, BoundLower, 9, 3000, 3501));
  EXPECT_FALSE(tableCut(3500, 2, BoundUpper, 9, 3000, 3500));
  EXPECT_TRUE(tableCut(-3500, 2, BoundUpper, 9, -3400, 0));
  EXPECT_FALSE(tableCut(-3500, 2, BoundLower, 9, -3400, 0));
  EXPECT_FALSE(tableCut(2999, 2, BoundExact, 9, -3400, 0));
}

}  // namespace
