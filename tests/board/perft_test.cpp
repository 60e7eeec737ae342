// Perft counts against the published values of the perft file and of a Chess960 position: the
// whole generator, make and unmake at once.
#include <gtest/gtest.h>

#include "board/makemove.h"
#include "support/paths.h"
#include "support/positions.h"

TEST(Perft, EveryCountOfTheStandardFileUpToTenMillionLeaves) {
  int checked = 0;
  for (const PerftLine& line : readPerftFile(dataPath("perft-standard.epd"))) {
    auto pos = positionFrom(line.fen);
    for (auto [depth, expected] : line.counts) {
      if (expected > 10'000'000) continue;
      EXPECT_EQ(perft(*pos, depth, pos->lastMove), expected) << line.fen << " depth " << depth;
      checked++;
    }
  }
  EXPECT_GT(checked, 400);
}

TEST(Perft, Chess960WithFileLetterCastlingAndDepthZero) {
  auto pos = positionFrom("bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf -");
  const uint64_t counts[] = {21, 528, 12189, 326672};
  for (int depth = 1; depth <= 4; depth++)
    EXPECT_EQ(perft(*pos, depth, pos->lastMove), counts[depth - 1]) << depth;
  auto start = positionFrom(InitialFen);
  EXPECT_EQ(perft(*start, 0, start->lastMove), 20u);  // depth 0 counts like depth 1
  EXPECT_EQ(perftCommand(*start, 2), 400u);
}
