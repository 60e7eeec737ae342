// The staged move supply of the main search: whatever the killers hold, every legal move is
// served exactly once; losing captures wait until after the quiet moves; the quiescence search's
// quiet checks leave out those that lose material.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "search/move_order.h"
#include "search/search_controller.h"
#include "support/positions.h"

namespace {

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
  SearchThread& t = searchController.master();
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

TEST(MoveSupply, LosingCapturesWaitAndQuietChecksMustNotLoseMaterial) {
  initTables();
  SearchThread& t = searchController.master();
  auto supply = std::make_unique<MoveSupply>();
  auto text = [&](Move m) {
    char buffer[MoveTextSize];
    return std::string(printMove(t.pos, buffer, m & ~MoveCheckFlags));
  };
  // Qxd5 is met by cxd5: losing, put aside until after the quiet moves. The previous move ended
  // on e5, so Nxe5 (the recapture) comes first.
  ASSERT_TRUE(setFen(t.pos, "4k3/p7/2p5/3pp3/8/5N2/8/R2QK3 w - - 0 1"));
  t.reset();
  t.pos.moveHistory[0] = makeMoveWord(0x54, 0x44);
  t.pos.ply = 1;
  const auto moves = served(t, *supply, 1);
  ASSERT_FALSE(moves.empty());
  EXPECT_EQ(text(moves[0].first), "f3xe5");
  const auto loser = std::find_if(moves.begin(), moves.end(), [&](auto m) { return text(m.first) == "d1xd5"; });
  ASSERT_NE(loser, moves.end());
  EXPECT_EQ(loser->second, StageDeposit);
  EXPECT_TRUE(std::any_of(moves.begin(), loser, [](auto m) { return m.second == StageQuiets; }));

  // Rd1-d8+ is answered by Kxd8; Rh1-h8+ is safe.
  ASSERT_TRUE(setFen(t.pos, "4k3/2p5/8/8/8/8/8/3RK2R w - - 0 1"));
  t.reset();
  supply->start(t, t.pos, 0, StageQuiescenceStart);
  std::set<std::string> checks;
  for (Move* m = supply->nextBatch(); m; m = supply->nextBatch())
    for (; m < supply->batchEnd; m++) checks.insert(text(*m));
  EXPECT_FALSE(checks.count("d1d8"));
  EXPECT_TRUE(checks.count("h1h8")) << checks.size();
}

}  // namespace
