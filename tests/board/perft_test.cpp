// Perft counts against published values: the whole generator, make and unmake at once.
#include <gtest/gtest.h>

#include "board/board_test_util.h"
#include "board/makemove.h"
#include "support/paths.h"

namespace {

constexpr uint64_t FastLimit = 10'000'000;

TEST(Perft, EveryPositionOfTheStandardFileUpToTenMillionLeaves) {
  auto lines = readPerftFile(dataPath("perft-standard.epd"));
  ASSERT_GT(lines.size(), 100u);
  int checked = 0;
  for (const PerftLine& line : lines) {
    Position* pos = newPosition(line.fen.c_str());
    for (auto [depth, expected] : line.counts) {
      if (expected > FastLimit) continue;
      EXPECT_EQ(perft(*pos, depth, pos->lastMove), expected) << line.fen << " depth " << depth;
      checked++;
    }
  }
  EXPECT_GT(checked, 400);
}

TEST(Perft, Chess960WithFileLetterCastling) {
  struct Case {
    const char* fen;
    std::vector<uint64_t> counts;
  } cases[] = {
      {"bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf -", {21, 528, 12189, 326672}},
  };
  for (const Case& c : cases) {
    Position* pos = newPosition(c.fen);
    for (size_t d = 0; d < c.counts.size(); d++)
      EXPECT_EQ(perft(*pos, int(d) + 1, pos->lastMove), c.counts[d]) << c.fen << " depth " << d + 1;
  }
}

TEST(Perft, DepthZeroCountsLikeDepthOne) {
  Position* pos = newPosition(InitialFen);
  EXPECT_EQ(perft(*pos, 0, pos->lastMove), 20u);
  EXPECT_EQ(perftCommand(*pos, 2), 400u);
}

}  // namespace
