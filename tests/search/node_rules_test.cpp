// Rules shared by the searches: draws by repetition and the fifty-move rule, mate scores stored in
// the table as distances from the node, table moves that no longer fit the board, and which checks
// count as sacrifices, entries torn by racing stores, node counts past 32 bits. (The check test,
// the reversal draw and which entry a store replaces are matters of strength.)
#include "search/node_rules.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "search/search_thread.h"
#include "search/tt.h"
#include "support/positions.h"

namespace {

TEST(NodeRules, RepetitionAndFiftyMoves) {
  auto pos = positionFrom(InitialFen);
  playMoves(*pos, {"g1f3", "g8f6", "f3g1", "f6g8"});
  // Once is enough within the search (from ply 4 back), twice in the game before it.
  for (int ply = 1; ply <= 3; ply++) EXPECT_FALSE(repetitionDraw(*pos, ply)) << ply;
  EXPECT_TRUE(repetitionDraw(*pos, 4));
  playMoves(*pos, {"g1f3", "g8f6", "f3g1", "f6g8"});
  EXPECT_TRUE(repetitionDraw(*pos, 1));
  // An irreversible move ends the scan.
  playMoves(*pos, {"e2e4", "e7e5", "g1f3", "b8c6", "f3g1", "c6b8"});
  EXPECT_TRUE(repetitionDraw(*pos, 5));
  EXPECT_FALSE(repetitionDraw(*pos, 2));

  auto fifty = positionFrom("4k3/8/8/8/8/8/8/R3K2N w - - 0 1");
  for (int i = 0; i < 24; i++) playMoves(*fifty, {"h1g3", "e8d8", "g3h1", "d8e8"});
  playMoves(*fifty, {"h1g3", "e8d8", "g3h1"});
  EXPECT_FALSE(fiftyMoveDraw(*fifty));  // 99 plies
  playMoves(*fifty, {"d8e8"});
  EXPECT_TRUE(fiftyMoveDraw(*fifty));
}

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

// The words of the slot a position's entry sits in, as the tests see them.
struct TtTestAccess {
  static uint32_t* slotOf(Tt& table, const Position& pos) {
    const uint64_t first = table.index(pos);
    for (uint64_t i = 0; i < 4; i++)
      if (table.slots_[first ^ i].word[3] != 0) return table.slots_[first ^ i].word;
    return nullptr;
  }
};

namespace {

// Two threads storing the same position with different bounds can interleave their words: an
// entry made of the first three words of one store and the last of the other must not match,
// or a bound would be read with the score of another search.
TEST(Tt, AnEntryTornBetweenTwoStoresDoesNotMatch) {
  Tt table(256);
  TtCounters counters;
  auto pos = positionFrom("4k3/8/8/3p4/4N3/8/8/4K3 w - - 0 1");
  TtEntry entry;
  entry.score = 100;
  entry.depth = 5;
  entry.bound = BoundLower;
  table.store(*pos, entry, counters);
  uint32_t* slot = TtTestAccess::slotOf(table, *pos);
  ASSERT_NE(slot, nullptr);
  const uint32_t lowerWords[3] = {slot[0], slot[1], slot[2]};
  entry.bound = BoundUpper;
  table.store(*pos, entry, counters);
  ASSERT_EQ(TtTestAccess::slotOf(table, *pos), slot);
  TtEntry out;
  ASSERT_TRUE(table.probe(*pos, out));
  EXPECT_EQ(out.bound, BoundUpper);
  std::copy(lowerWords, lowerWords + 3, slot);  // the first store's words, the second's bound
  EXPECT_FALSE(table.probe(*pos, out));
}

// The node counts add up past four billion (eight threads pass that in minutes of analysis).
TEST(SearchCounters, CountPastFourBillion) {
  SearchCounters counters;
  counters.interior = 3'000'000'000;
  counters.quiescence = 3'000'000'000;
  counters.pruned = 1'000'000'000;  // never made: no nodes
  EXPECT_EQ(counters.total(), 6'000'000'000u);
}

// A check is a sacrifice when the checking piece alone gives it and the side in check wins
// material by taking it; a discovered check, or a checker that is defended well enough, is not.
TEST(NodeRules, LosingDirectChecks) {
  struct Case {
    const char* fen;
    const char* move;
    bool losing;
  };
  const Case cases[] = {
      {"4k3/r7/8/8/8/8/8/3QK3 w - - 0 1", "d1d7", true},       // the king or the rook takes it
      {"4k3/6p1/8/3N4/8/8/8/4K3 w - - 0 1", "d5f6", true},     // the pawn takes the knight
      {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "a1a8", false},       // nothing attacks a8
      {"4k3/2n5/8/8/P7/8/4B3/4K3 w - - 0 1", "e2b5", false},   // knight for bishop, even
      {"4k3/1p6/8/8/8/8/4B3/4R1K1 w - - 0 1", "e2a6", false},  // discovered: the rook checks
      {"4k3/r7/8/8/8/8/8/3QK3 w - - 0 1", "d1d2", false},      // no check at all
      {"3qk3/8/8/8/8/8/8/3QK3 b - - 0 1", "d8d1", false},      // takes the queen with check: even
  };
  for (const Case& c : cases) {
    auto pos = positionFrom(c.fen);
    playMoves(*pos, {c.move});
    EXPECT_EQ(losingDirectCheck(*pos, pos->previousMove()), c.losing) << c.fen << " " << c.move;
  }
}

// A stored result corrects the static score only where it is the better knowledge: an exact
// score always, a bound only on its own side, and never a won or lost score.
TEST(NodeRules, TableBoundedEval) {
  EXPECT_EQ(tableBoundedEval(40, 0, BoundNone), 40);
  EXPECT_EQ(tableBoundedEval(40, -120, BoundExact), -120);
  EXPECT_EQ(tableBoundedEval(40, 90, BoundLower), 90);  // at least 90: the eval was too low
  EXPECT_EQ(tableBoundedEval(40, 10, BoundLower), 40);  // at least 10 says nothing new
  EXPECT_EQ(tableBoundedEval(40, 10, BoundUpper), 10);  // at most 10: the eval was too high
  EXPECT_EQ(tableBoundedEval(40, 90, BoundUpper), 40);
  EXPECT_EQ(tableBoundedEval(40, WinBound + 5, BoundLower), 40);
  EXPECT_EQ(tableBoundedEval(40, -MateBound - 3, BoundExact), 40);
}

}  // namespace
