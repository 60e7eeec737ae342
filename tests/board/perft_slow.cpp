// The deep counts of the standard perft file (over ten million leaves each).
#include <gtest/gtest.h>

#include "board/board_test_util.h"
#include "board/makemove.h"
#include "support/paths.h"

TEST(PerftDeep, EveryCountOfTheStandardFile) {
  for (const PerftLine& line : readPerftFile(dataPath("perft-standard.epd"))) {
    Position* pos = newPosition(line.fen.c_str());
    for (auto [depth, expected] : line.counts) {
      if (expected <= 10'000'000) continue;
      EXPECT_EQ(perft(*pos, depth, pos->lastMove), expected) << line.fen << " depth " << depth;
    }
  }
}

TEST(PerftDeep, Chess960DepthFive) {
  Position* pos = newPosition("bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf -");
  EXPECT_EQ(perft(*pos, 5, pos->lastMove), 8146062u);
}
