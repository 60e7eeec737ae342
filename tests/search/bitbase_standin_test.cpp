// The stand-in bitbase library (our own retrograde solver) against known facts about the
// three-men endings, its colour symmetry, and the board's move generator on a sample (the slow
// test does every position).
#include "search/bitbase_standin.h"

#include <gtest/gtest.h>

namespace {

using namespace standin;

struct StandInTest : ::testing::Test {
  static void SetUpTestSuite() {
    initTables();
    ASSERT_NE(library(), nullptr) << dlerror();
  }
};

// The longest mates and the number of won king and pawn positions are well-known figures.
TEST_F(StandInTest, AgreesWithKnownEndgameStatistics) {
  int longest[7] = {}, legal[7] = {}, wins[7] = {};
  for (int code = QueenCode; code <= PawnCode; ++code)
    for (int index = 0; index < 64 * 64 * 64; ++index) {
      const int r = probe(0, index >> 12, (index >> 6) & 63, code, index & 63);
      if (r == NoInformation) continue;
      ++legal[code];
      if (r <= 0) continue;
      ++wins[code];
      longest[code] = std::max(longest[code], WinScore - r);
    }
  EXPECT_EQ(longest[QueenCode], 19);  // mate in 10
  EXPECT_EQ(longest[RookCode], 31);   // mate in 16
  EXPECT_EQ(wins[QueenCode], legal[QueenCode]);
  EXPECT_EQ(wins[RookCode], legal[RookCode]);
  EXPECT_EQ(wins[BishopCode] + wins[KnightCode], 0);
  EXPECT_EQ(legal[PawnCode], 163328);
  EXPECT_EQ(wins[PawnCode], 124960);
}

TEST_F(StandInTest, SymmetricConsistentAndSilentWhereItKnowsNothing) {
  for (int code = QueenCode; code <= PawnCode; ++code)
    for (int index = 0; index < 2 * 64 * 64 * 64; index += 3) {
      const int side = index >> 18, wk = (index >> 12) & 63, bk = (index >> 6) & 63,
                sq = index & 63;
      ASSERT_EQ(probe(side, wk, bk, code, sq), probe(side ^ 1, bk ^ 56, wk ^ 56, code + 6, sq ^ 56))
          << fenOf(side, wk, bk, code, sq);
    }
  // Every 211th position of every table, both sides to move.
  int checked = 0;
  for (int code :
       {QueenCode, RookCode, BishopCode, KnightCode, PawnCode, PawnCode + 6, QueenCode + 6})
    for (int index = code; index < 2 * 64 * 64 * 64; index += 211) {
      const int side = index >> 18, wk = (index >> 12) & 63, bk = (index >> 6) & 63,
                sq = index & 63;
      if (probe(side, wk, bk, code, sq) == NoInformation) continue;
      std::string why;
      ASSERT_TRUE(consistentWithMoves(side, wk, bk, code, sq, why)) << why;
      ++checked;
    }
  EXPECT_GT(checked, 5000);
  EXPECT_EQ(probe(0, 0, 63, 0, 0), 0);  // bare kings
}

}  // namespace
