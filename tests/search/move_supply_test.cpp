// Staged move supply and the move orderings built on the exchange evaluation.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "board/movegen.h"
#include "board/notation.h"
#include "search/eval_link.h"
#include "search/move_order.h"
#include "search/search_controller.h"

namespace {

struct SupplyTest : ::testing::Test {
  static void SetUpTestSuite() { initTables(); }
  SearchThread& t = searchController.master();
  MoveSupply supply;

  void setUp(const char* fen) {
    ASSERT_TRUE(setFen(t.pos, fen)) << fen;
    t.reset();
    t.stop = 0;
  }
  Move parse(const char* text) {
    Move m = parseMove(t.pos, text);
    EXPECT_NE(m, 0u) << text;
    return m & MoveCompareMask & ~MoveCheckFlags;
  }
  std::string text(Move m) {
    char buffer[MoveTextSize];
    return printMove(t.pos, buffer, m & ~Move(MoveCheckFlags));
  }
  // Every move the main-search stages serve, with its stage.
  std::vector<std::pair<int, std::string>> drain() {
    std::vector<std::pair<int, std::string>> served;
    supply.start(t, t.pos, 3, StageMainStart);
    for (Move* m = supply.nextBatch(); m; m = supply.nextBatch())
      for (; m < supply.batchEnd; m++)
        if (*m) served.emplace_back(supply.stage, text(*m));
    return served;
  }
};

TEST_F(SupplyTest, KillersComeFirstOnlyWhenLegalAndOnlyOnce) {
  setUp("4k3/8/8/8/8/8/4P3/R3K2N w - - 0 1");
  t.killers[3][0] = parse("a1a5");
  t.killers[3][1] = makeMoveWord(0x07, 0x36);  // h1-g4: no knight move, not legal
  auto served = drain();
  ASSERT_FALSE(served.empty());
  EXPECT_EQ(served[0], std::make_pair(StageKiller1, std::string("a1a5")));
  int count = 0;
  for (auto& [stage, move] : served) {
    count += move == "a1a5";
    EXPECT_NE(stage, StageKiller2);  // the illegal killer is skipped in the same call
  }
  EXPECT_EQ(count, 1);
  // King moves come last, after the quiet moves.
  EXPECT_EQ(served.back().first, StageKingQuiets);
  // Every legal non-capture is served.
  Move legal[MaxMoves];
  EXPECT_EQ(int(served.size()), generateLegalMoves(t.pos, legal));
}

TEST_F(SupplyTest, LosingCapturesArePutAsideRecapturesFirst) {
  // Qxd5 is defended by the c6 pawn: losing, put aside. Rxa7 wins a pawn. The previous move
  // ended on e5, so Nxe5 comes first.
  setUp("4k3/p7/2p5/3pp3/8/5N2/8/R2QK3 w - - 0 1");
  t.pos.moveHistory[0] = makeMoveWord(0x54, 0x44);
  t.pos.ply = 1;
  supply.start(t, t.pos, 1, StageMainStart);
  supply.batchEnd = generateCaptures(t.pos, supply.moves);
  orderCaptures(supply);
  ASSERT_GE(supply.batchEnd - supply.batchBegin, 2);
  EXPECT_EQ(text(supply.batchBegin[0]), "f3xe5");
  EXPECT_EQ(text(supply.batchBegin[1]), "a1xa7");
  ASSERT_EQ(supply.depositEnd - supply.deposit, 1);
  EXPECT_EQ(text(supply.deposit[0]), "d1xd5");
  // The put-aside capture is served after the quiet moves, before the king moves.
  int stageOfLoser = 0, quiets = 0;
  for (Move* m = supply.nextBatch(); m; m = supply.nextBatch())
    for (; m < supply.batchEnd; m++) {
      if (*m && text(*m) == "d1xd5") stageOfLoser = supply.stage;
      quiets += supply.stage == StageQuiets;
    }
  EXPECT_EQ(stageOfLoser, StageDeposit);
  EXPECT_GT(quiets, 10);
}

TEST_F(SupplyTest, QuietChecksThatLoseMaterialAreDropped) {
  setUp("4k3/2p5/8/8/8/8/8/3RK2R w - - 0 1");
  supply.start(t, t.pos, 0, StageQuiescenceStart);
  std::vector<std::string> checks;
  for (Move* m = supply.nextBatch(); m; m = supply.nextBatch())
    for (; m < supply.batchEnd; m++) checks.push_back(text(*m));
  // Rd1-d8+ is answered by Kxd8; Rh1-h8+ is safe.
  EXPECT_EQ(std::find(checks.begin(), checks.end(), "d1d8"), checks.end());
  EXPECT_NE(std::find(checks.begin(), checks.end(), "h1h8"), checks.end());
}

TEST_F(SupplyTest, OrderChecksKeepsGenerationOrderOnTies) {
  setUp("8/8/8/3k4/8/8/8/R5RK w - - 0 1");
  Move list[4] = {parse("a1a5"), parse("g1g5"), parse("a1d1")};
  int scores[4];
  // a5 and g5 lie as far from the king on d5 as their origins: equal scores; Rd1+ comes
  // from nearer and scores less.
  Move* end = orderChecks(t.pos, list, list + 3, scores);
  ASSERT_EQ(end - list, 3);
  EXPECT_EQ(scores[0], scores[1]);
  EXPECT_GT(scores[1], scores[2]);
  EXPECT_EQ(text(list[0]), "a1a5");
  EXPECT_EQ(text(list[1]), "g1g5");
  EXPECT_EQ(text(list[2]), "a1d1");
  Move reversed[3] = {list[2], list[1], list[0]};
  orderChecks(t.pos, reversed, reversed + 3, scores);
  EXPECT_EQ(text(reversed[0]), "g1g5");
  EXPECT_EQ(text(reversed[1]), "a1a5");
}

TEST_F(SupplyTest, EvasionsHashMoveFirstThenCapturesOfTheChecker) {
  setUp("4k3/8/8/8/8/8/3q4/R3K3 w - - 0 1");
  supply.start(t, t.pos, 0, StageMainStart);
  const Move hash = parse("e1f1");
  orderEvasions(supply, t.pos.lastMove, hash);
  EXPECT_EQ(supply.stage, StageEvasions);
  ASSERT_GE(supply.batchEnd - supply.batchBegin, 2);
  EXPECT_EQ(supply.batchBegin[0] & MoveCompareMask, hash);
  EXPECT_EQ(text(supply.batchBegin[1]), "e1xd2");  // the king takes the queen
  EXPECT_EQ(supply.nextBatch(), nullptr);
}

TEST_F(SupplyTest, QuiescenceCapturesDropLosersAndSmallGainsAboveThreshold) {
  setUp("4k3/8/2p5/3q4/8/1p6/P7/3QK3 w - - 0 1");
  supply.start(t, t.pos, 0, StageQuiescenceStart);
  supply.batchEnd = generateCaptures(t.pos, supply.moves);
  // Qxd5 trades queens at least (c6 recaptures), axb3 and Qxb3 win a pawn.
  int dropped = orderQuiescenceCaptures(supply, 0, 0, false, 0);
  EXPECT_EQ(dropped, 0);
  ASSERT_EQ(supply.batchEnd - supply.batchBegin, 3);
  EXPECT_EQ(text(supply.batchBegin[0]), "d1xd5");
  // With a threshold of 300 the pawn capture is too small to matter.
  supply.start(t, t.pos, 0, StageQuiescenceStart);
  supply.batchEnd = generateCaptures(t.pos, supply.moves);
  dropped = orderQuiescenceCaptures(supply, 0, 300, false, 0);
  EXPECT_EQ(dropped, 100);
  ASSERT_EQ(supply.batchEnd - supply.batchBegin, 1);
  EXPECT_EQ(text(supply.batchBegin[0]), "d1xd5");
}

TEST_F(SupplyTest, QuietsByHistoryAfterTheAnswersToTheThreat) {
  setUp("4k3/8/8/8/3n4/1R6/8/4K1NQ w - - 0 1");
  // A refutation at depth 8 gains and the move tried before it loses as much; the values stay
  // bounded however often that happens.
  const Move good = parse("h1h5"), tried = parse("g1f3");
  for (int i = 0; i < 200; i++) t.history.reward(t.pos, good, 8, &tried, 1);
  EXPECT_GT(t.history.score(t.pos, good), 0);
  EXPECT_LE(t.history.score(t.pos, good), History::Max);
  EXPECT_LT(t.history.score(t.pos, tried), 0);
  EXPECT_GE(t.history.score(t.pos, tried), -History::Max);
  // The null move found Nd4xb3: the rook's safe moves come first, then the history's favourite,
  // and the move that failed comes last.
  const int b3 = squareOf(1, 2), d4 = squareOf(3, 3);
  supply.start(t, t.pos, 3, StageMainStart);
  supply.batchEnd = generateQuiets(t.pos, supply.moves);
  orderQuiets(supply, makeMoveWord(d4, b3, t.pos.at(b3)));
  const Move* m = supply.batchBegin;
  while (m < supply.batchEnd && moveFrom(*m) == b3) EXPECT_GE(exchange(t.pos, *m++), 0);
  EXPECT_GT(m - supply.batchBegin, 3);
  ASSERT_LT(m, supply.batchEnd);
  EXPECT_EQ(text(*m), "h1h5");
  EXPECT_EQ(text(supply.batchEnd[-1]), "g1f3");
}

}  // namespace
