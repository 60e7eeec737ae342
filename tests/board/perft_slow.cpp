// The deep counts of the perft file (over ten million leaves each) and of a Chess960 position.
#include <gtest/gtest.h>

#include "board/makemove.h"
#include "support/paths.h"
#include "support/positions.h"

TEST(PerftDeep, EveryDeepCountOfTheStandardFile) {
  int checked = 0;
  for (const PerftLine& line : readPerftFile(dataPath("perft-standard.epd"))) {
    auto pos = positionFrom(line.fen);
    for (auto [depth, expected] : line.counts) {
      if (expected <= 10'000'000) continue;
      EXPECT_EQ(perft(*pos, depth, pos->lastMove), expected) << line.fen << " depth " << depth;
      checked++;
    }
  }
  EXPECT_GT(checked, 0);
  auto pos = positionFrom("bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf -");
  EXPECT_EQ(perft(*pos, 5, pos->lastMove), 8146062u);
}
