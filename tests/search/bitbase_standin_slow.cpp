// Every position of the stand-in bitbase library against the board's move generator: its
// answers are one ply consistent everywhere, which with the mates at ply 0 proves them all.
#include <gtest/gtest.h>

#include "search/bitbase_standin.h"

TEST(StandInSlow, EveryPositionIsConsistentWithTheBoardsMoves) {
  using namespace standin;
  initTables();
  ASSERT_NE(library(), nullptr);
  int checked = 0;
  for (int code = QueenCode; code <= PawnCode; ++code)
    for (int index = 0; index < 2 * 64 * 64 * 64; ++index) {
      const int side = index >> 18, wk = (index >> 12) & 63, bk = (index >> 6) & 63,
                sq = index & 63;
      if (probe(side, wk, bk, code, sq) == NoInformation) continue;
      std::string why;
      ASSERT_TRUE(consistentWithMoves(side, wk, bk, code, sq, why)) << why;
      ++checked;
    }
  EXPECT_GT(checked, 1500000);
}
