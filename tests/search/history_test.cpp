// The quiet-move history that orders the search's quiet moves.
#include "search/history.h"

#include <gtest/gtest.h>

#include "board/notation.h"
#include "support/positions.h"

namespace {

// The history is 16-bit: however often and however deep a move refutes, its value (and that of
// the moves tried before it) stays within the bounds and keeps its sign.
TEST(History, StaysBoundedHoweverOftenAMoveRefutes) {
  initTables();
  const auto pos = positionFrom("4k3/8/8/8/3n4/1R6/8/4K1NQ w - - 0 1");
  const Move good = parseMove(*pos, "h1h5"), tried = parseMove(*pos, "g1f3");
  auto history = std::make_unique<History>();
  history->clear();
  for (int depth : {1, 8, 60})
    for (int i = 0; i < 500; i++) {
      history->reward(*pos, good, depth, &tried, 1);
      ASSERT_GT(history->score(*pos, good), 0);
      ASSERT_LE(history->score(*pos, good), History::Max);
      ASSERT_LT(history->score(*pos, tried), 0);
      ASSERT_GE(history->score(*pos, tried), -History::Max);
    }
  history->reward(*pos, tried, 60, &good, 1);  // one refutation the other way turns the order
  EXPECT_GT(history->score(*pos, tried), -History::Max);
  EXPECT_LT(history->score(*pos, good), History::Max);
}

}  // namespace
