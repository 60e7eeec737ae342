// The staged move supply of the main search: whatever the killers hold, every legal move is served
// exactly once. (The order it serves them in is a matter of strength, measured in games.)
#include <gtest/gtest.h>

#include <map>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "search/history.h"
#include "search/move_order.h"
#include "search/search_controller.h"
#include "support/positions.h"

namespace {

// The search these tests drive: a controller of their own, with a small table.
SearchController& controller() {
  static SearchController search(16);
  return search;
}

// Every move the main search's stages serve, captures first, with the stage of each.
std::vector<std::pair<Move, int>> served(SearchThread& t, MoveSupply& supply, int ply) {
  supply.start(t, t.pos, ply, StageMainStart);
  supply.batchEnd = generateCaptures(t.pos, supply.moves);
  orderCaptures(supply);
  std::vector<std::pair<Move, int>> moves;
  for (Move* m = supply.batchBegin; m; m = supply.nextBatch())
    for (; m < supply.batchEnd; m++)
      if (*m) moves.emplace_back(*m, supply.stage);
  return moves;
}

TEST(MoveSupply, ServesEveryLegalMoveOnceWhateverTheKillers) {
  initTables();
  SearchThread& t = controller().master();
  auto supply = std::make_unique<MoveSupply>();
  std::mt19937 rng(5);
  std::vector<Move> foreign;  // quiet moves of earlier positions: killers from elsewhere
  int positions = 0;
  for (int game = 0; game < 40; game++) {
    ASSERT_TRUE(setFen(t.pos, game % 2 ? InitialFen : chess960Fen(game * 23 % 960).c_str()));
    t.reset();
    while (!playRandomMoves(t.pos, 1, rng, true).empty() && t.pos.ply < 120) {
      if (t.pos.inCheck()) continue;  // in check the search serves evasions instead
      Move legal[MaxMoves];
      const int count = generateLegalMoves(t.pos, legal);
      for (int i = 0; i < count; i++)
        if (!moveCaptured(legal[i]) && !movePromotion(legal[i])) foreign.push_back(legal[i]);
      const int ply = int(t.pos.ply % 8);
      // Two different killers, as the search keeps them.
      t.killers[ply][0] = foreign[rng() % foreign.size()] & ~MoveCheckFlags;
      do t.killers[ply][1] = foreign[rng() % foreign.size()] & ~MoveCheckFlags;
      while (t.killers[ply][1] == t.killers[ply][0]);
      // Filtered as the search filters them: the pin test, then makeMove.
      std::map<Move, int> times;
      const int king = t.pos.kingSquare(t.pos.sideToMove);
      for (auto [m, stage] : served(t, *supply, ply)) {
        const UndoInfo undo = saveUndo(t.pos);
        if (isPinnedMove(t.pos, king, moveFrom(m), moveTo(m))) continue;
        if (!makeMove(t.pos, m & ~MoveCheckFlags)) continue;
        unmakeMove(t.pos, m & ~MoveCheckFlags, undo);
        times[m & MoveCompareMask]++;
      }
      ASSERT_EQ(int(times.size()), count) << fenOf(t.pos);
      for (int i = 0; i < count; i++)
        ASSERT_EQ(times[legal[i] & MoveCompareMask], 1)
            << fenOf(t.pos) << std::hex << " move " << legal[i] << " killers " << t.killers[ply][0]
            << " " << t.killers[ply][1];
      positions++;
    }
  }
  EXPECT_GT(positions, 1500);
}

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
