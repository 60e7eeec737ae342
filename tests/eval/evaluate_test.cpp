// The whole evaluation: endings that cannot be won and drawish material, the material imbalance
// and the evaluation cache. (How well the terms judge positions is strength, measured in games;
// colour symmetry and the exchange values have tests of their own.)
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "eval/evaluator.h"
#include "support/positions.h"

namespace {

int evaluateFen(const std::string& fen) {
  auto pos = positionFrom(fen);
  return std::make_unique<Evaluator>(*pos)->evaluate();
}

uint32_t counter(int pawns, int knights, int bishops, int rooks, int queens) {
  const uint32_t units = 3 * knights + 3 * bishops + 5 * rooks + 10 * queens;
  const uint32_t pieces = knights + bishops + rooks + queens;
  return units | pawns << 8 | knights << 12 | bishops << 16 | rooks << 20 | queens << 24 |
         pieces << 28;
}

TEST(Evaluate, EndingsThatCannotBeWonAndOnesThatCan) {
  for (const char* drawn : {"8/8/4k3/8/8/2NN4/8/4K3 w - - 0 1",  // two knights cannot force mate
                            "8/8/4k3/8/8/2NN4/8/4K3 b - - 0 1", "4k3/8/2nn4/8/8/8/8/4K3 w - - 0 1",
                            "7k/8/8/7P/4B3/8/8/4K3 w - - 0 1",   // rook pawn and the wrong bishop
                            "4k3/8/8/3b4/p7/8/8/1K6 b - - 0 1",  // the same for Black
                            "k7/8/8/P7/8/8/8/4K3 w - - 0 1",     // the king in front of a rook pawn
                            "k7/8/8/8/7p/8/8/6K1 b - - 0 1"})
    EXPECT_EQ(evaluateFen(drawn), 0) << drawn;
  EXPECT_GT(evaluateFen("7k/8/8/7P/8/8/8/2B1K3 w - - 0 1"), 300);  // the right bishop
  EXPECT_GT(evaluateFen("8/8/8/P7/8/k7/8/4K3 w - - 0 1"), 50);     // a king behind the pawn

  // Two bishops on one colour count about a quarter of a pair on both colours; rook against
  // rook next to nothing; opposite bishops far less than same-coloured ones.
  const int sameColour = evaluateFen("8/8/4k3/8/8/2B5/3B4/4K3 w - - 0 1");
  const int bothColours = evaluateFen("8/8/4k3/8/8/3B4/3B4/4K3 w - - 0 1");
  EXPECT_GT(bothColours, 500);
  EXPECT_NEAR(sameColour * 4, bothColours, 60);
  EXPECT_LT(std::abs(evaluateFen("8/8/4k3/8/8/3r4/3R4/4K3 w - - 0 1")), 10);
  const int opposite = evaluateFen("4k3/pp6/4b3/8/8/2B5/PPP5/4K3 w - - 0 1");
  const int same = evaluateFen("4k3/pp6/3b4/8/8/2B5/PPP5/4K3 w - - 0 1");
  EXPECT_GT(same, 0);
  EXPECT_LT(opposite * 3, same * 2);
}

TEST(MaterialImbalance, IsAntisymmetricAndZeroWhenEqual) {
  std::mt19937 rng(11);
  for (int i = 0; i < 20000; ++i) {
    const uint32_t w = counter(rng() % 9, rng() % 3, rng() % 3, rng() % 3, rng() % 2);
    const uint32_t b = counter(rng() % 9, rng() % 3, rng() % 3, rng() % 3, rng() % 2);
    ASSERT_EQ(materialImbalance(w, b), -materialImbalance(b, w)) << std::hex << w << " " << b;
    ASSERT_EQ(materialImbalance(w, w), 0) << std::hex << w;
  }
}

TEST(EvalCache, NeverChangesAResult) {
  auto holder = positionFrom(InitialFen);
  auto cached = std::make_unique<Evaluator>(*holder), plain = std::make_unique<Evaluator>(*holder);
  const std::vector<std::string> fens = randomPlayFens(20, 80, 3);
  // Two passes: the second finds most scores in the cache, and many slots were overwritten by
  // other positions in between.
  for (int pass = 0; pass < 2; ++pass)
    for (const std::string& fen : fens) {
      auto pos = positionFrom(fen);
      cached->attach(*pos);
      plain->attach(*pos);
      ASSERT_EQ(cached->evaluate(), plain->evaluateUncached()) << fen;
      ASSERT_EQ(cached->evaluate(), plain->evaluateUncached()) << fen;
      // A cache hit still leaves the pawn entry of this position current.
      EXPECT_EQ(cached->pawnEntry().check, uint32_t(pos->pawnKey >> 32));
    }
  EXPECT_GT(cached->pawnHash().hits, 0u);
}

}  // namespace
