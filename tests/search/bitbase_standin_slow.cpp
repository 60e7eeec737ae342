// Every position of the stand-in bitbase library against the board's move generator, and the
// king with queen or rook against the bare king won everywhere except by stalemate or capture.
#include <gtest/gtest.h>

#include "board/movegen.h"
#include "board/tables.h"
#include "search/bitbase_standin.h"

namespace {

using namespace standin;

TEST(StandInSlow, EveryPositionIsConsistentWithTheBoardsMoves) {
  initTables();
  ASSERT_NE(library(), nullptr);
  int checked = 0;
  for (int code = QueenCode; code <= PawnCode; ++code)
    for (int side = 0; side < 2; ++side)
      for (int wk = 0; wk < 64; ++wk)
        for (int bk = 0; bk < 64; ++bk)
          for (int sq = 0; sq < 64; ++sq) {
            if (probe(side, wk, bk, code, sq) == NoInformation) continue;
            std::string why;
            ASSERT_TRUE(consistentWithMoves(side, wk, bk, code, sq, why)) << why;
            ++checked;
          }
  EXPECT_GT(checked, 1500000);
}

TEST(StandInSlow, QueenAndRookWinUnlessStalemateOrCapture) {
  initTables();
  ASSERT_NE(library(), nullptr);
  for (int code : {QueenCode, RookCode})
    for (int side = 0; side < 2; ++side)
      for (int wk = 0; wk < 64; ++wk)
        for (int bk = 0; bk < 64; ++bk)
          for (int sq = 0; sq < 64; ++sq) {
            int r = probe(side, wk, bk, code, sq);
            if (r == NoInformation) continue;
            std::string fen = fenOf(side, wk, bk, code, sq);
            if (side == 0) {
              ASSERT_GT(r, 3000) << fen;
              continue;
            }
            Position pos;
            ASSERT_TRUE(setFen(pos, fen.c_str())) << fen;
            Move moves[MaxMoves];
            int count = generateLegalMoves(pos, moves);
            bool capture = false;
            for (int i = 0; i < count; ++i) capture |= moveCaptured(moves[i]) != 0;
            bool stalemate = count == 0 && !pos.inCheck();
            if (capture || stalemate)
              ASSERT_EQ(r, 0) << fen;
            else
              ASSERT_LT(r, -3000) << fen;
          }
}

}  // namespace
