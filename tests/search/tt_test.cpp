// Transposition table: what is stored comes back, sizes, generations and replacement, mate
// scores relative to the node, the cut rules and moves that no longer fit the board.
#include "search/tt.h"

#include <gtest/gtest.h>

#include "search/node_rules.h"
#include "support/positions.h"

namespace {

struct TtTest : ::testing::Test {
  Position pos;
  TtCounters counters;
  void SetUp() override { clearPosition(pos); }

  // A position whose key lands on `index` with the check value `check`.
  Position& keyed(uint32_t index, uint32_t check, int side = White) {
    pos.hashKey = (uint64_t(check) << 32) | index;
    pos.sideToMove = uint32_t(side);
    return pos;
  }
  static TtEntry entry(int score, int depth, uint8_t bound, Move move = 0) {
    TtEntry e;
    e.move = move;
    e.score = int16_t(score);
    e.depth = int16_t(depth);
    e.bound = bound;
    return e;
  }
  // The score stored for the position, or -99999 on a miss.
  int stored(Tt& table, Position& p) {
    TtEntry out;
    return table.probe(p, out) ? out.score : -99999;
  }
};

TEST_F(TtTest, EntriesComeBackUntilClearedOrResized) {
  Tt table(256);
  const Move move = makeMoveWord(0x14, 0x34);
  table.store(keyed(40, 0x55AA55AA), entry(-123, 7, BoundUpper, move), counters);
  TtEntry out;
  ASSERT_TRUE(table.probe(keyed(40, 0x55AA55AA), out));
  EXPECT_EQ(out.move, move);
  EXPECT_EQ(out.score, -123);
  EXPECT_EQ(out.depth, 7);
  EXPECT_EQ(out.bound, BoundUpper);
  EXPECT_EQ(stored(table, keyed(40, 0x55AA55AA, Black)), -99999);  // the other side to move
  EXPECT_EQ(stored(table, keyed(40, 0x55AA55AB)), -99999);
  table.resize(300);  // the same size: kept
  EXPECT_EQ(stored(table, keyed(40, 0x55AA55AA)), -123);
  table.deletePosition(keyed(40, 0x55AA55AA));
  EXPECT_EQ(stored(table, keyed(40, 0x55AA55AA)), -99999);
  table.store(keyed(41, 6), entry(2, 1, BoundExact), counters);
  table.resize(512);  // a new size starts empty
  EXPECT_EQ(stored(table, keyed(41, 6)), -99999);
  table.store(keyed(41, 6), entry(2, 1, BoundExact), counters);
  table.clear();
  EXPECT_EQ(stored(table, keyed(41, 6)), -99999);
  // Sizes are powers of two, never more than asked, at least 256 KB.
  for (uint32_t kb : {0u, 1u, 255u, 256u, 3000u, 4096u}) {
    table.resize(kb);
    EXPECT_EQ(table.sizeBytes() & (table.sizeBytes() - 1), 0u) << kb;
    EXPECT_LE(table.sizeBytes(), std::max(kb, 256u) * 1024) << kb;
    EXPECT_GT(table.sizeBytes(), std::max(kb, 256u) * 512) << kb;
  }
}

TEST_F(TtTest, ReplacementKeepsWhatIsWorthKeeping) {
  Tt table(256);
  // A full cluster: the deep entry of an older search goes before the current shallow ones.
  table.store(keyed(128, 1), entry(1, 40, BoundExact), counters);
  table.newSearch();
  for (uint32_t i = 1; i < 4; i++) table.store(keyed(128 + i, 1 + i), entry(1, 2, BoundExact), counters);
  table.store(keyed(128, 99), entry(1, 1, BoundExact), counters);
  EXPECT_EQ(stored(table, keyed(128, 1)), -99999);
  for (uint32_t i = 1; i < 4; i++) EXPECT_EQ(stored(table, keyed(128 + i, 1 + i)), 1);
  // The same position: deeper wins, a shallower higher lower bound too, an exact entry keeps
  // every shallower one out.
  Position& p = keyed(300, 77);
  table.store(p, entry(50, 8, BoundLower), counters);
  table.store(p, entry(10, 3, BoundUpper), counters);
  EXPECT_EQ(stored(table, p), 50);
  table.store(p, entry(80, 3, BoundLower), counters);
  EXPECT_EQ(stored(table, p), 80);
  table.store(p, entry(5, 6, BoundExact), counters);
  table.store(p, entry(900, 2, BoundLower), counters);
  table.store(p, entry(-900, 2, BoundUpper), counters);
  EXPECT_EQ(stored(table, p), 5);
}

TEST_F(TtTest, MateScoresAreStoredAsDistancesFromTheNode) {
  for (int ply = 0; ply < 100; ply += 7)
    for (int score : {29995, 3500, 0, -2999, -29990}) {
      const int shift = std::abs(score) > 3000 ? (score > 0 ? 1 : -1) : 0;
      // Read back at the same ply: the same; two plies nearer the root: two plies longer.
      EXPECT_EQ(scoreFromTable(scoreToTable(score, ply + 2), ply + 2), score) << score;
      EXPECT_EQ(scoreFromTable(scoreToTable(score, ply + 2), ply), score + 2 * shift) << score;
    }
  // Not deeper than the entry: exact always, lower at beta, upper at alpha; deeper: only won or
  // lost scores cut.
  const struct {
    int score, storedDepth, bound, depth, alpha, beta;
    bool cut;
  } cuts[] = {{5, 6, BoundExact, 6, -100, 100, true},     {5, 6, BoundExact, 7, -100, 100, false},
              {100, 4, BoundLower, 4, 50, 100, true},     {99, 4, BoundLower, 4, 50, 100, false},
              {50, 4, BoundUpper, 3, 50, 100, true},      {51, 4, BoundUpper, 3, 50, 100, false},
              {3500, 2, BoundLower, 9, 3000, 3500, true}, {3500, 2, BoundUpper, 9, 3000, 3500, false},
              {-3500, 2, BoundUpper, 9, -3400, 0, true},  {2999, 2, BoundExact, 9, -3400, 0, false}};
  for (const auto& c : cuts)
    EXPECT_EQ(tableCut(c.score, c.storedDepth, c.bound, c.depth, c.alpha, c.beta), c.cut) << c.score;
}

TEST_F(TtTest, StoredMoveFollowsTheBoardOrIsDropped) {
  Tt table(256);
  auto knight = positionFrom("4k3/8/8/3p4/4N3/8/8/4K3 w - - 0 1");
  const Move capture = makeMoveWord(0x34, 0x43, knight->at(0x43));
  table.store(*knight, entry(10, 3, BoundLower, capture), counters);
  // A colliding position with another pawn number on d5: the move takes that pawn.
  auto other = positionFrom("4k3/8/8/2pp4/4N3/8/8/4K3 w - - 0 1");
  other->hashKey = knight->hashKey;
  TtEntry out;
  ASSERT_TRUE(table.probe(*other, out));
  EXPECT_EQ(out.move, makeMoveWord(0x34, 0x43, other->at(0x43)));
  // A rook on d5 instead: the capture no longer fits and goes; the rest of the entry stays.
  auto rook = positionFrom("4k3/8/8/3r4/4N3/8/8/4K3 w - - 0 1");
  rook->hashKey = knight->hashKey;
  ASSERT_TRUE(table.probe(*rook, out));
  EXPECT_EQ(out.move, 0u);
  EXPECT_EQ(out.score, 10);
}

}  // namespace
