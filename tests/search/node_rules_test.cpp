// Draw rules and the check test shared by the searches. (The reversal draw is a shortcut of the
// search: strength.)
#include "search/node_rules.h"

#include <gtest/gtest.h>

#include "board/movegen.h"
#include "support/positions.h"

namespace {

TEST(NodeRules, RepetitionAndFiftyMoves) {
  auto pos = positionFrom(InitialFen);
  playMoves(*pos, {"g1f3", "g8f6", "f3g1", "f6g8"});
  // Once is enough within the search (from ply 4 back), twice in the game before it.
  for (int ply = 1; ply <= 3; ply++) EXPECT_FALSE(repetitionDraw(*pos, ply)) << ply;
  EXPECT_TRUE(repetitionDraw(*pos, 4));
  playMoves(*pos, {"g1f3", "g8f6", "f3g1", "f6g8"});
  EXPECT_TRUE(repetitionDraw(*pos, 1));
  // An irreversible move ends the scan.
  playMoves(*pos, {"e2e4", "e7e5", "g1f3", "b8c6", "f3g1", "c6b8"});
  EXPECT_TRUE(repetitionDraw(*pos, 5));
  EXPECT_FALSE(repetitionDraw(*pos, 2));

  auto fifty = positionFrom("4k3/8/8/8/8/8/8/R3K2N w - - 0 1");
  for (int i = 0; i < 24; i++) playMoves(*fifty, {"h1g3", "e8d8", "g3h1", "d8e8"});
  playMoves(*fifty, {"h1g3", "e8d8", "g3h1"});
  EXPECT_FALSE(fiftyMoveDraw(*fifty));  // 99 plies
  playMoves(*fifty, {"d8e8"});
  EXPECT_TRUE(fiftyMoveDraw(*fifty));
}

// The check test never misses a check that making the move gives, and claims one only when the
// move gives it or marks an x-ray through a single blocker (a battery).
TEST(NodeRules, CheckTestAgreesWithMakeMove) {
  int checks = 0, batteries = 0;
  std::mt19937 rng(3);
  for (int game = 0; game < 60; game++) {
    auto pos = positionFrom(InitialFen);
    for (int ply = 0; ply < 80 && !playRandomMoves(*pos, 1, rng, true).empty(); ply++) {
      Move moves[MaxMoves];
      const int count = generateLegalMoves(*pos, moves);
      const int king = pos->kingSquare(pos->sideToMove ^ 1);
      for (int i = 0; i < count; i++) {
        if (moves[i] & (MoveCastle | MoveEnPassant) || movePromotion(moves[i])) continue;
        Move tested = moves[i] & ~MoveCheckFlags;
        const bool claimed = checkTest(*pos, tested, king);
        const bool battery = (tested & MoveBatteryCheck) != 0;
        EXPECT_EQ(claimed, givesCheck(moves[i]) || battery) << fenOf(*pos) << std::hex << moves[i];
        checks += givesCheck(moves[i]);
        batteries += battery;
      }
    }
  }
  EXPECT_GT(checks, 500);
  EXPECT_GT(batteries, 20);
}

}  // namespace
