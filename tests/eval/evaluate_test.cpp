// The material imbalance and the evaluation cache. (How well the terms judge positions, endings
// included, is strength, measured in games; colour symmetry and the exchange values have tests of
// their own.)
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "eval/evaluator.h"
#include "support/positions.h"

namespace {

uint32_t counter(int pawns, int knights, int bishops, int rooks, int queens) {
  const uint32_t units = 3 * knights + 3 * bishops + 5 * rooks + 10 * queens;
  const uint32_t pieces = knights + bishops + rooks + queens;
  return units | pawns << 8 | knights << 12 | bishops << 16 | rooks << 20 | queens << 24 |
         pieces << 28;
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
