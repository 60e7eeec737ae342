// The material imbalance, the evaluation cache and the pawn hash. (How well the terms judge
// positions, endings included, is strength, measured in games; colour symmetry and the exchange
// values have tests of their own.)
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "eval/evaluator.h"
#include "support/paths.h"
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

// An entry is shared by every position with the same pawns: whichever of them filled it, it must
// read as if computed for the one probing now (otherwise a search's score depends on what the
// table saw before). Consecutive positions of a game mostly keep their pawns, so most probes
// below hit entries filled with other pieces on the board.
TEST(PawnHash, StoredEntryEqualsAFreshComputation) {
  auto start = positionFrom("4k3/8/8/8/8/8/8/4K2R w K - 0 1");  // no pawns: key 0
  auto eval = std::make_unique<Evaluator>(*start);
  std::vector<std::string> fens = randomPlayFens(4, 60, 7);
  for (const std::string& fen : gameFens(dataPath("master-games.pgn"), 40, 1)) fens.push_back(fen);
  ASSERT_GT(fens.size(), 2000u);
  for (const std::string& fen : fens) {
    auto pos = positionFrom(fen);
    eval->attach(*pos);
    const PawnEntry& stored = eval->probePawnHash();
    PawnEntry fresh{};
    fillPawnEntry(fresh, *pos);
    ASSERT_EQ(std::memcmp(&stored, &fresh, offsetof(PawnEntry, unused)), 0) << fen;
  }
  EXPECT_GT(eval->pawnHash().hits, fens.size() / 2);
}

}  // namespace
