// The stand-in bitbase library against known facts about the three-men endings and against
// the board's move generator, and the engine's probe on top of it.
#include "search/bitbase_standin.h"

#include <gtest/gtest.h>

#include <string>

#include "board/movegen.h"
#include "board/tables.h"
#include "search/bitbase.h"

namespace {

using namespace standin;

class StandInTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    initTables();
    ASSERT_NE(library(), nullptr) << dlerror();
  }
};

int squareNamed(const char* name) { return (name[0] - 'a') + 8 * (name[1] - '1'); }

TEST_F(StandInTest, EngineReportsThreeMen) {
  Bitbases egbb;
  ::testing::internal::CaptureStdout();
  EXPECT_TRUE(egbb.startUp(MELVOK_EGBB_DIR, "32"));
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "egbb.3men=1\negbb.4men=0\negbb.5men=0\nEGBB: loaded, maxmen=3, ram=4\n");
  EXPECT_EQ(egbb.probeLimit(), 1);
  EXPECT_EQ(egbb.unconditionalLimit(), 2);
}

// Longest mates and the number of won king and pawn positions are well known figures.
TEST_F(StandInTest, AgreesWithKnownEndgameStatistics) {
  int longest[7] = {}, whiteToMoveLegal[7] = {}, whiteToMoveWins[7] = {};
  for (int code = QueenCode; code <= PawnCode; ++code)
    for (int wk = 0; wk < 64; ++wk)
      for (int bk = 0; bk < 64; ++bk)
        for (int sq = 0; sq < 64; ++sq) {
          int r = probe(0, wk, bk, code, sq);
          if (r == NoInformation) continue;
          ++whiteToMoveLegal[code];
          if (r <= 0) continue;
          ++whiteToMoveWins[code];
          longest[code] = std::max(longest[code], WinScore - r);
        }
  EXPECT_EQ(longest[QueenCode], 19);  // mate in 10
  EXPECT_EQ(longest[RookCode], 31);   // mate in 16
  EXPECT_EQ(whiteToMoveWins[QueenCode], whiteToMoveLegal[QueenCode]);
  EXPECT_EQ(whiteToMoveWins[RookCode], whiteToMoveLegal[RookCode]);
  EXPECT_EQ(whiteToMoveWins[BishopCode], 0);
  EXPECT_EQ(whiteToMoveWins[KnightCode], 0);
  EXPECT_EQ(whiteToMoveLegal[PawnCode], 163328);
  EXPECT_EQ(whiteToMoveWins[PawnCode], 124960);
}

TEST_F(StandInTest, ColoursSwappedGiveTheSameAnswer) {
  for (int code = QueenCode; code <= PawnCode; ++code)
    for (int side = 0; side < 2; ++side)
      for (int wk = 0; wk < 64; ++wk)
        for (int bk = 0; bk < 64; bk += 3)
          for (int sq = 0; sq < 64; ++sq) {
            int white = probe(side, wk, bk, code, sq);
            int black = probe(side ^ 1, bk ^ 56, wk ^ 56, code + 6, sq ^ 56);
            ASSERT_EQ(white, black) << fenOf(side, wk, bk, code, sq);
          }
}

TEST_F(StandInTest, RejectsWhatItCannotAnswer) {
  // Four men, illegal set-ups, bad numbers.
  EXPECT_EQ(library()(0, 0, 63, 6, 16, 6, 17, 0, 0), NoInformation);
  EXPECT_EQ(library()(0, 0, 63, 6, 16, 6, 17, 12, 55), NoInformation);
  EXPECT_EQ(probe(0, 0, 1, QueenCode, 20), NoInformation);   // kings side by side
  EXPECT_EQ(probe(0, 0, 63, PawnCode, 3), NoInformation);    // pawn on the first rank
  EXPECT_EQ(probe(0, 0, 63, RookCode, 7), NoInformation);    // Black in check, White to move
  EXPECT_EQ(probe(0, 0, 63, QueenCode, 63), NoInformation);  // two men on one square
  EXPECT_EQ(probe(2, 0, 63, QueenCode, 20), NoInformation);
  EXPECT_EQ(probe(0, 0, 64, QueenCode, 20), NoInformation);
  EXPECT_EQ(library()(0, 0, 63, 7, 20, 0, 0, 0, 0), NoInformation);  // no such piece
  // The piece may come in any slot; bare kings are a draw.
  EXPECT_EQ(library()(0, 0, 63, 0, 0, 2, 20, 0, 0), probe(0, 0, 63, QueenCode, 20));
  EXPECT_EQ(probe(0, 0, 63, 0, 0), 0);
}

TEST_F(StandInTest, RookPawnWithTheDefenderInTheCornerIsDrawn) {
  for (int side = 0; side < 2; ++side)
    for (int rank = 1; rank <= 6; ++rank)
      for (int wk = 0; wk < 64; ++wk) {
        int pawn = rank * 8;  // a-file
        int r = probe(side, wk, squareNamed("a8"), PawnCode, pawn);
        if (r != NoInformation) {
          EXPECT_EQ(r, 0) << fenOf(side, wk, squareNamed("a8"), PawnCode, pawn);
        }
        // And the same for Black's h-pawn with White's king in h1.
        r = probe(side, squareNamed("h1"), wk, PawnCode + 6, (rank * 8 + 7));
        if (r != NoInformation) {
          EXPECT_EQ(r, 0) << fenOf(side, squareNamed("h1"), wk, PawnCode + 6, rank * 8 + 7);
        }
      }
}

TEST_F(StandInTest, KingOnTheSixthInFrontOfItsPawnWins) {
  // Files b to g, pawn on the fifth rank, king right in front: won whoever moves.
  for (int file = 1; file <= 6; ++file)
    for (int bk = 0; bk < 64; ++bk)
      for (int side = 0; side < 2; ++side) {
        int pawn = 4 * 8 + file, king = 5 * 8 + file;
        int r = probe(side, king, bk, PawnCode, pawn);
        if (r == NoInformation) continue;
        if (side == 0)
          EXPECT_GT(r, 3000) << fenOf(side, king, bk, PawnCode, pawn);
        else
          EXPECT_LT(r, -3000) << fenOf(side, king, bk, PawnCode, pawn);
      }
}

TEST_F(StandInTest, OppositionDecidesWithTheKingInFrontOnTheFifth) {
  // White Ke5, Pe4 against Ke7: Black holds only when White must move.
  EXPECT_EQ(probe(0, squareNamed("e5"), squareNamed("e7"), PawnCode, squareNamed("e4")), 0);
  EXPECT_LT(probe(1, squareNamed("e5"), squareNamed("e7"), PawnCode, squareNamed("e4")), -3000);
  // White Ke6 against Ke8 with the pawn still on e4: the attacker wins either way.
  EXPECT_GT(probe(0, squareNamed("e6"), squareNamed("e8"), PawnCode, squareNamed("e4")), 3000);
  EXPECT_LT(probe(1, squareNamed("e6"), squareNamed("e8"), PawnCode, squareNamed("e4")), -3000);
  // The same a file over, the defender having the opposition.
  EXPECT_EQ(probe(0, squareNamed("d5"), squareNamed("d7"), PawnCode, squareNamed("d4")), 0);
  // A lone pawn the defending king cannot catch: Kh1 Pa5 against Kg6, White to move.
  EXPECT_GT(probe(0, squareNamed("h1"), squareNamed("g6"), PawnCode, squareNamed("a5")), 3000);
  // Black to move steps into the square of the pawn from e6, but not from f6.
  EXPECT_EQ(probe(1, squareNamed("h1"), squareNamed("e6"), PawnCode, squareNamed("a5")), 0);
  EXPECT_LT(probe(1, squareNamed("h1"), squareNamed("f6"), PawnCode, squareNamed("a5")), -3000);
}

TEST_F(StandInTest, ValuesAreConsistentWithTheBoardsMovesOnASample) {
  // Every 211th position of every table, both sides to move (the slow test does them all).
  int checked = 0;
  for (int code :
       {QueenCode, RookCode, BishopCode, KnightCode, PawnCode, PawnCode + 6, QueenCode + 6})
    for (int index = code; index < 2 * 64 * 64 * 64; index += 211) {
      int side = index >> 18, wk = (index >> 12) & 63, bk = (index >> 6) & 63, sq = index & 63;
      if (probe(side, wk, bk, code, sq) == NoInformation) continue;
      std::string why;
      ASSERT_TRUE(consistentWithMoves(side, wk, bk, code, sq, why)) << why;
      ++checked;
    }
  EXPECT_GT(checked, 5000);
}

TEST_F(StandInTest, EngineProbeTurnsAnswersIntoScores) {
  Bitbases egbb;
  ::testing::internal::CaptureStdout();
  egbb.startUp(MELVOK_EGBB_DIR, nullptr);
  ::testing::internal::GetCapturedStdout();
  Position pos;
  int score = 0;
  // King and pawn: the library's own value, for whichever side moves.
  ASSERT_TRUE(setFen(pos, "4k3/8/4K3/4P3/8/8/8/8 w - - 0 1"));
  EXPECT_TRUE(egbb.probe(pos, score));
  EXPECT_EQ(score, probe(0, squareNamed("e6"), squareNamed("e8"), PawnCode, squareNamed("e5")));
  EXPECT_GT(score, 3000);
  ASSERT_TRUE(setFen(pos, "8/8/8/8/4p3/4k3/8/4K3 w - - 0 1"));
  EXPECT_TRUE(egbb.probe(pos, score));
  EXPECT_LT(score, -3000);
  // Queen: the mop-up value, positive for the side with the queen.
  ASSERT_TRUE(setFen(pos, "8/8/3k4/8/8/8/8/Q3K3 b - - 0 1"));
  EXPECT_TRUE(egbb.probe(pos, score));
  EXPECT_EQ(score, -mopUpValue(pos, White));
  ASSERT_TRUE(setFen(pos, "8/8/3k4/8/8/8/8/Q3K3 w - - 0 1"));
  EXPECT_TRUE(egbb.probe(pos, score));
  EXPECT_EQ(score, mopUpValue(pos, White));
  // A rook the lone king takes, stalemate, a bishop: drawn.
  for (const char* fen : {"k7/8/8/8/8/8/8/4Kr2 w - - 0 1", "8/8/8/8/8/8/5k1r/7K w - - 0 1",
                          "k7/2Q5/1K6/8/8/8/8/8 b - - 0 1", "4k3/8/8/8/8/8/8/2B1K3 w - - 0 1"}) {
    ASSERT_TRUE(setFen(pos, fen)) << fen;
    score = 1;
    EXPECT_TRUE(egbb.probe(pos, score)) << fen;
    EXPECT_EQ(score, 0) << fen;
  }
  // Four men are not in the stand-in; the probe says so.
  ASSERT_TRUE(setFen(pos, "4k3/8/8/8/8/8/3PP3/4K3 w - - 0 1"));
  EXPECT_FALSE(egbb.probe(pos, score));
}

}  // namespace
