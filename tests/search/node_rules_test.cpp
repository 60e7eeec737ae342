// Draw rules, mate-distance pruning and the check test shared by the searches.
#include <gtest/gtest.h>

#include "board/makemove.h"
#include "board/notation.h"
#include "board/position.h"
#include "search/node_rules.h"

namespace {

struct NodeRules : ::testing::Test {
  static void SetUpTestSuite() { initTables(); }
  Position pos;

  void setUp(const char* fen) { ASSERT_TRUE(setFen(pos, fen)) << fen; }
  void play(const char* moves) {
    char buffer[256];
    snprintf(buffer, sizeof buffer, "%s", moves);
    for (char* word = strtok(buffer, " "); word; word = strtok(nullptr, " ")) {
      Move m = parseMove(pos, word);
      ASSERT_NE(m, 0u) << word;
      pos.lastMove = makeMove(pos, m & ~MoveCheckFlags);
      ASSERT_NE(pos.lastMove, 0u) << word;
    }
  }
};

TEST_F(NodeRules, RepetitionNeedsTwoOccurrencesNearTheRoot) {
  setUp(InitialFen);
  play("g1f3 g8f6 f3g1 f6g8");
  for (int ply = 1; ply <= 3; ply++) EXPECT_FALSE(repetitionDraw(pos, ply)) << ply;
  EXPECT_TRUE(repetitionDraw(pos, 4));
  EXPECT_TRUE(repetitionDraw(pos, 9));
  play("g1f3 g8f6 f3g1 f6g8");
  EXPECT_TRUE(repetitionDraw(pos, 1));
  EXPECT_TRUE(repetitionDraw(pos, 2));
}

TEST_F(NodeRules, RepetitionStopsAtTheLastIrreversibleMove) {
  setUp(InitialFen);
  play("g1f3 g8f6 f3g1 f6g8 e2e4 e7e5");
  EXPECT_FALSE(repetitionDraw(pos, 5));
  play("g1f3 b8c6 f3g1 c6b8");
  EXPECT_TRUE(repetitionDraw(pos, 5));
  EXPECT_FALSE(repetitionDraw(pos, 2));
}

TEST_F(NodeRules, FiftyMovesAfterHundredReversiblePlies) {
  setUp("4k3/8/8/8/8/8/8/R3K2N w - - 0 1");
  for (int i = 0; i < 25; i++) play("h1g3 e8d8 g3h1 d8e8");
  EXPECT_EQ(pos.fiftyMoveCount(), 100);
  EXPECT_TRUE(fiftyMoveDraw(pos));
  pos.lastIrreversible = 1;
  EXPECT_FALSE(fiftyMoveDraw(pos));
}

TEST_F(NodeRules, MaterialDraws) {
  const char* drawn[] = {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", "4k3/8/8/8/8/8/8/4KN2 w - - 0 1",
                         "4kb2/8/8/8/8/8/8/4K3 b - - 0 1"};
  const char* alive[] = {"4kn2/8/8/8/8/8/8/4KB2 w - - 0 1", "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1",
                         "4k3/8/8/8/8/8/8/4KR2 w - - 0 1", "4k3/8/8/8/8/8/8/3QK3 w - - 0 1",
                         "4k3/8/8/8/8/8/8/3NKN2 w - - 0 1"};
  for (const char* fen : drawn) {
    setUp(fen);
    EXPECT_TRUE(materialDraw(pos)) << fen;
  }
  for (const char* fen : alive) {
    setUp(fen);
    EXPECT_FALSE(materialDraw(pos)) << fen;
  }
}

TEST_F(NodeRules, ReversalDrawOffersTakingBackOurMove) {
  setUp(InitialFen);
  play("g1f3 g8f6 f3g1");
  Move line[2] = {1, 1};
  EXPECT_FALSE(reversalDraw(pos, 3, 1, line));   // only when we do not need to win
  EXPECT_FALSE(reversalDraw(pos, 2, 0, line));   // not right at the root
  ASSERT_TRUE(reversalDraw(pos, 3, 0, line));
  EXPECT_EQ(moveFrom(line[0]), 0x55);
  EXPECT_EQ(moveTo(line[0]), 0x76);
  EXPECT_EQ(line[1], 0u);
  // The opponent's move back is not a reversal when an irreversible move came between.
  setUp(InitialFen);
  play("g1f3 e7e5 f3g1");
  EXPECT_FALSE(reversalDraw(pos, 3, 0, line));
}

TEST_F(NodeRules, MateDistancePruning) {
  int alpha = 29990, score = 0;
  // A mate found closer to the root than this node can reach.
  EXPECT_TRUE(mateDistancePrune(9, alpha, 29995, false, score));
  EXPECT_EQ(score, 29990);
  alpha = 100;
  EXPECT_FALSE(mateDistancePrune(9, alpha, 200, false, score));
  EXPECT_EQ(alpha, 100);
  // Being mated: the best reachable is ply - 29998, or a mate right here when in check.
  alpha = -29999;
  EXPECT_FALSE(mateDistancePrune(4, alpha, -29500, false, score));
  EXPECT_EQ(alpha, 4 - 29998);
  alpha = -29999;
  EXPECT_TRUE(mateDistancePrune(4, alpha, -29996, true, score));
  EXPECT_EQ(score, 4 - 30000);
  alpha = -29999;
  EXPECT_TRUE(mateDistancePrune(4, alpha, -29994, false, score));
  EXPECT_EQ(score, 4 - 29998);
}

TEST_F(NodeRules, CheckTestFindsDirectDiscoveredAndXrayChecks) {
  setUp("3k4/8/8/8/3N4/8/8/4K2R w - - 0 1");
  const int king = pos.kingSquare(Black);
  Move knightCheck = makeMoveWord(0x33, 0x52);  // Nd4-c6+
  EXPECT_TRUE(checkTest(pos, knightCheck, king));
  Move knightQuiet = makeMoveWord(0x33, 0x45);  // Nd4-f5
  EXPECT_FALSE(checkTest(pos, knightQuiet, king));
  Move rook = makeMoveWord(0x07, 0x77);  // Rh1-h8+ along the back rank
  EXPECT_TRUE(checkTest(pos, rook, king));
  EXPECT_FALSE(rook & MoveBatteryCheck);
  Move rookQuiet = makeMoveWord(0x07, 0x67);  // Rh7 attacks nothing
  EXPECT_FALSE(checkTest(pos, rookQuiet, king));

  // A rook behind a knight on the king's file: moving the knight off discovers check.
  setUp("3k4/8/8/8/3N4/8/8/3RK3 w - - 0 1");
  Move discovered = makeMoveWord(0x33, 0x45);  // Nd4-f5
  EXPECT_TRUE(checkTest(pos, discovered, pos.kingSquare(Black)));
  Move along = makeMoveWord(0x03, 0x13);  // Rd1-d2 stays behind the knight: one blocker
  EXPECT_TRUE(checkTest(pos, along, pos.kingSquare(Black)));
  EXPECT_TRUE(along & MoveBatteryCheck);

  // A pawn as the only blocker does not make an x-ray.
  setUp("3k4/3p4/8/8/8/8/8/R3K3 w - - 0 1");
  Move behindPawn = makeMoveWord(0x00, 0x03);  // Ra1-d1, pawn d7 between
  EXPECT_FALSE(checkTest(pos, behindPawn, pos.kingSquare(Black)));
}

}  // namespace
