// The win/draw/loss model: chances that add up, mirror each other and rise with the score,
// certainty for won scores, the material measure, and the fitted curves pinned.
#include "search/wdl_model.h"

#include <gtest/gtest.h>

#include "search/node_rules.h"
#include "support/positions.h"

namespace {

TEST(WdlModel, ChancesAddUpMirrorAndRiseWithTheScore) {
  for (int material = 0; material <= 100; material += 3) {
    WdlPerMille previous = winDrawLoss(-WinBound + 1, material);
    for (int score = -WinBound + 1; score < WinBound; score++) {
      const WdlPerMille p = winDrawLoss(score, material);
      const WdlPerMille mirrored = winDrawLoss(-score, material);
      ASSERT_EQ(p.win + p.draw + p.loss, 1000) << score << " " << material;
      ASSERT_GE(p.win, 0);
      ASSERT_GE(p.draw, 0);
      ASSERT_GE(p.loss, 0);
      // A score for one side is the same score against the other.
      ASSERT_EQ(p.win, mirrored.loss) << score << " " << material;
      ASSERT_EQ(p.draw, mirrored.draw) << score << " " << material;
      // A better score never wins less nor loses more.
      ASSERT_GE(p.win, previous.win) << score << " " << material;
      ASSERT_LE(p.loss, previous.loss) << score << " " << material;
      previous = p;
    }
  }
}

TEST(WdlModel, WonAndLostScoresAreCertain) {
  for (int material : {2, 30, 80}) {
    for (int score : {WinBound, WinBound + 7000, TablebaseWin - 40, MateBound, Infinity - 1}) {
      const WdlPerMille won = winDrawLoss(score, material);
      EXPECT_EQ(won.win, 1000) << score;
      EXPECT_EQ(won.draw, 0);
      EXPECT_EQ(won.loss, 0);
      const WdlPerMille lost = winDrawLoss(-score, material);
      EXPECT_EQ(lost.win, 0) << score;
      EXPECT_EQ(lost.draw, 0);
      EXPECT_EQ(lost.loss, 1000);
    }
  }
}

TEST(WdlModel, MaterialCountsBothSidesPawnsAndPieces) {
  EXPECT_EQ(wdlMaterial(*positionFrom(InitialFen)), 80);
  // Two white queens (one promoted), a black rook and bishop, three pawns: 20 + 5 + 3 + 3.
  EXPECT_EQ(wdlMaterial(*positionFrom("1Q6/2p5/4b1k1/8/8/r7/PP6/3QK3 w - - 0 1")), 31);
  EXPECT_EQ(wdlMaterial(*positionFrom("4k3/8/8/8/8/8/8/4K3 w - - 0 1")), 0);
  // Outside the fitted range the curves hold their value at its edge.
  for (int score : {-250, 0, 35, 400}) {
    const WdlPerMille bare = winDrawLoss(score, 0), edge = winDrawLoss(score, WdlMinMaterial);
    EXPECT_EQ(bare.win, edge.win);
    EXPECT_EQ(bare.loss, edge.loss);
    const WdlPerMille rich = winDrawLoss(score, 104), full = winDrawLoss(score, WdlMaxMaterial);
    EXPECT_EQ(rich.win, full.win);
    EXPECT_EQ(rich.loss, full.loss);
  }
}

TEST(WdlModel, FittedCurves) {
  struct Case {
    int score, material;
    WdlPerMille expected;
  };
  // The start, a middlegame and two endings, level and a pawn or three up.
  const Case cases[] = {
      {0, 80, {409, 182, 409}},  {100, 80, {602, 158, 240}}, {300, 80, {879, 59, 62}},
      {0, 50, {355, 290, 355}},  {100, 50, {554, 250, 196}}, {0, 20, {143, 714, 143}},
      {100, 20, {286, 650, 64}}, {300, 20, {700, 288, 12}},  {-150, 35, {84, 265, 651}},
  };
  for (const Case& c : cases) {
    const WdlPerMille p = winDrawLoss(c.score, c.material);
    EXPECT_EQ(p.win, c.expected.win) << c.score << " at " << c.material;
    EXPECT_EQ(p.draw, c.expected.draw) << c.score << " at " << c.material;
    EXPECT_EQ(p.loss, c.expected.loss) << c.score << " at " << c.material;
  }
  // Level endings are drawn more often than level middlegames.
  EXPECT_GT(winDrawLoss(0, 20).draw, winDrawLoss(0, 70).draw);
}

}  // namespace
