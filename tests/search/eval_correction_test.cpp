// The evaluation correction: what searches of a pawn structure found moves its static score,
// deeper searches further, within a bound, and only for that structure and side to move.
#include "search/eval_correction.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/positions.h"

namespace {

TEST(EvalCorrection, LearnsPerPawnStructureAndSideWithinItsBound) {
  auto table = std::make_unique<EvalCorrection>();
  table->clear();
  auto pos = positionFrom("4k3/pp3ppp/8/8/8/8/PP3PPP/4K3 w - - 0 1");
  auto otherPawns = positionFrom("4k3/pp3ppp/8/8/8/5P2/PP4PP/4K3 w - - 0 1");
  auto otherSide = positionFrom("4k3/pp3ppp/8/8/8/8/PP3PPP/4K3 b - - 0 1");
  EXPECT_EQ(table->corrected(*pos, 30), 30);

  // One deep search 40 above the static score moves the correction part of the way.
  table->learn(*pos, 30, 70, 20);
  const int once = table->corrected(*pos, 30) - 30;
  EXPECT_GT(once, 0);
  EXPECT_LT(once, 40);

  // A shallow search with the same finding moves it less.
  auto shallowTable = std::make_unique<EvalCorrection>();
  shallowTable->clear();
  shallowTable->learn(*pos, 30, 70, 1);
  EXPECT_LT(shallowTable->corrected(*pos, 30) - 30, once);

  // Repeated, it settles at the finding; a far larger one is capped.
  for (int i = 0; i < 200; i++) table->learn(*pos, 30, 70, 20);
  EXPECT_NEAR(table->corrected(*pos, 30), 70, 1);
  for (int i = 0; i < 200; i++) table->learn(*pos, 30, 930, 20);
  EXPECT_NEAR(table->corrected(*pos, 30), 30 + EvalCorrection::MaxCorrection, 1);
  // Findings below the static score pull it back the other way.
  for (int i = 0; i < 200; i++) table->learn(*pos, 30, -10, 20);
  EXPECT_NEAR(table->corrected(*pos, 30), -10, 1);

  // Other pawns, or the other side to move, learnt nothing.
  EXPECT_EQ(table->corrected(*otherPawns, 30), 30);
  EXPECT_EQ(table->corrected(*otherSide, 30), 30);
}

}  // namespace
