// The pawn hash: an entry read back always equals a fresh computation for the position probing,
// whichever position filled it.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "eval/evaluator.h"
#include "support/paths.h"
#include "support/positions.h"

namespace {

// An entry is shared by every position with the same pawns: whichever of them filled it, it must
// read as if computed for the one probing now (otherwise a search's score depends on what the
// table saw before). Consecutive positions of a game mostly keep their pawns, so most probes
// below hit entries filled with other pieces on the board.
TEST(PawnHash, StoredEntryEqualsAFreshComputation) {
  auto start = positionFrom("4k3/8/8/8/8/8/8/4K2R w K - 0 1");  // no pawns: key 0
  auto eval = std::make_unique<Evaluator>(*start);
  eval->probePawnHash();
  eval->probePawnHash();
  EXPECT_EQ(eval->pawnHash().misses, 1u);  // the key 0 does not match an empty entry...
  EXPECT_EQ(eval->pawnHash().hits, 1u);    // ...but its own
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

  PawnHash small;
  resizePawnHash(small, 1000);
  EXPECT_EQ(small.size(), 512u);  // the power of two below
  EXPECT_EQ(small.slot(0).check, 1u);
}

}  // namespace
