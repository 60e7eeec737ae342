// Transposition table: mate scores stored relative to the node, and moves that no longer fit the
// board. (That entries come back shows in every search test; which entry a store replaces is a
// matter of strength.)
#include "search/tt.h"

#include <gtest/gtest.h>

#include "search/node_rules.h"
#include "support/positions.h"

namespace {

TEST(Tt, MateScoresAreStoredAsDistancesFromTheNode) {
  for (int ply = 0; ply < 100; ply += 7)
    for (int score : {29995, 3500, 0, -2999, -29990}) {
      const int shift = std::abs(score) > 3000 ? (score > 0 ? 1 : -1) : 0;
      // Read back at the same ply: the same; two plies nearer the root: two plies longer.
      EXPECT_EQ(scoreFromTable(scoreToTable(score, ply + 2), ply + 2), score) << score;
      EXPECT_EQ(scoreFromTable(scoreToTable(score, ply + 2), ply), score + 2 * shift) << score;
    }
}

TEST(Tt, StoredMoveFollowsTheBoardOrIsDropped) {
  Tt table(256);
  TtCounters counters;
  auto knight = positionFrom("4k3/8/8/3p4/4N3/8/8/4K3 w - - 0 1");
  TtEntry entry;
  entry.move = makeMoveWord(0x34, 0x43, knight->at(0x43));  // Nxd5
  entry.score = 10;
  entry.depth = 3;
  entry.bound = BoundLower;
  table.store(*knight, entry, counters);
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
