// Playing below full strength: the scale of levels, and the choice among the search's lines
// (its bounds, its randomness against the softmax it stands for, and how it loosens as the
// level falls).
#include "search/strength_limit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "search/node_rules.h"

namespace {

// How often each line is chosen in `draws` choices from one seeded stream.
std::vector<int> choiceCounts(const std::vector<int>& scores, const StrengthLevel& level, int draws,
                              uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::vector<int> counts(scores.size(), 0);
  for (int i = 0; i < draws; i++) counts[chooseLine(scores, level, rng)]++;
  return counts;
}

TEST(StrengthLevel, WeakerLevelsThinkLessAndChooseMoreLoosely) {
  StrengthLevel previous = strengthLevel(MinStrengthElo);
  for (int elo = MinStrengthElo + 10; elo < FullStrengthElo; elo += 10) {
    const StrengthLevel level = strengthLevel(elo);
    SCOPED_TRACE(elo);
    EXPECT_EQ(level.elo, elo);
    EXPECT_FALSE(level.full());
    EXPECT_GT(level.nodes, previous.nodes);  // every step of Elo thinks longer
    EXPECT_GE(level.depth, previous.depth);
    EXPECT_LE(level.lines, previous.lines);
    EXPECT_LE(level.noise, previous.noise);
    EXPECT_LE(level.maxLoss, previous.maxLoss);
    EXPECT_GE(level.depth, 1);
    EXPECT_GE(level.lines, 2);
    EXPECT_GT(level.noise, 0);
    // Never a piece given away (a minor piece is worth three pawns), and from 1750 on no more
    // than a pawn's worth of misjudgement in a move.
    EXPECT_LT(level.maxLoss, 300);
    if (elo >= 1750) {
      EXPECT_LE(level.maxLoss, 60);
    }
    previous = level;
  }
  // Below the scale the weakest level; at its top and above no limit at all.
  const StrengthLevel weakest = strengthLevel(MinStrengthElo);
  const StrengthLevel below = strengthLevel(0);
  EXPECT_EQ(below.elo, MinStrengthElo);
  EXPECT_EQ(below.nodes, weakest.nodes);
  EXPECT_EQ(below.noise, weakest.noise);
  for (int elo : {FullStrengthElo, FullStrengthElo + 1, 4000}) {
    const StrengthLevel full = strengthLevel(elo);
    EXPECT_TRUE(full.full());
    EXPECT_EQ(full.lines, 1);
    EXPECT_EQ(full.nodes, 0u);
    EXPECT_EQ(full.depth, 0);
    EXPECT_EQ(full.maxLoss, 0);
  }
}

TEST(StrengthChoice, FullStrengthSingleLinesAndForcedWinsTakeTheBest) {
  std::mt19937_64 rng(1);
  const StrengthLevel full = strengthLevel(FullStrengthElo);
  const StrengthLevel weakest = strengthLevel(MinStrengthElo);
  const std::vector<int> close = {10, 80, 79, -5};  // the best need not come first
  const std::vector<int> mate = {150, Infinity - 5, 140, 120};
  const std::vector<int> tableWin = {TablebaseWin - 30, 900, 880};
  for (int i = 0; i < 2000; i++) {
    ASSERT_EQ(chooseLine(close, full, rng), 1);
    ASSERT_EQ(chooseLine(mate, weakest, rng), 1);
    ASSERT_EQ(chooseLine(tableWin, weakest, rng), 0);
    ASSERT_EQ(chooseLine(std::vector<int>{-300}, weakest, rng), 0);
  }
  EXPECT_EQ(chooseLine(std::vector<int>{}, weakest, rng), -1);
}

TEST(StrengthChoice, NoLineBeyondTheLevelsLossIsEverChosen) {
  // At the weakest level (a loss of 150 at most) the line exactly 150 below the best may be
  // chosen, the one a centipawn further down never, however many lines surround them.
  const StrengthLevel weakest = strengthLevel(MinStrengthElo);
  ASSERT_EQ(weakest.maxLoss, 150);
  const std::vector<int> edge = {-151, 0, -150, -900, -151, -40};
  const std::vector<int> counts = choiceCounts(edge, weakest, 20000, 5);
  // (softmax at noise 80 over 0, -40 and -150: 56.8 %, 34.5 % and 8.7 %)
  EXPECT_EQ(counts, (std::vector<int>{0, 11422, 1707, 0, 0, 6871}));

  // Random sets of lines at every level: the choice stays within the level's loss.
  std::mt19937_64 lines(9), rng(10);
  int belowBest = 0;
  for (int elo = MinStrengthElo; elo < FullStrengthElo; elo += 50) {
    const StrengthLevel level = strengthLevel(elo);
    for (int trial = 0; trial < 400; trial++) {
      std::vector<int> scores(2 + lines() % 7);
      for (int& s : scores) s = int(lines() % 1201) - 600;
      const int best = *std::max_element(scores.begin(), scores.end());
      const int chosen = chooseLine(scores, level, rng);
      ASSERT_GE(scores[chosen], best - level.maxLoss) << elo;
      belowBest += scores[chosen] < best;
    }
  }
  EXPECT_EQ(belowBest, 863);
}

TEST(StrengthChoice, ChoiceFollowsTheSoftmaxOfTheScores) {
  // Two lines a noise apart: the better one is chosen with odds e : 1, 73.1 % of the time.
  const StrengthLevel weakest = strengthLevel(MinStrengthElo);
  const std::vector<int> two = {-weakest.noise, 0};
  const int draws = 100000;
  const std::vector<int> counts = choiceCounts(two, weakest, draws, 77);
  const double expected = 1 / (1 + std::exp(-1.0));
  const double sigma = std::sqrt(draws * expected * (1 - expected));
  EXPECT_NEAR(counts[1], draws * expected, 3 * sigma);
  EXPECT_EQ(counts[1], 72976);

  // The same seed gives the same choices; another seed others.
  const std::vector<int> many = {30, 25, 10, 0, -15};
  std::mt19937_64 a(123), b(123), c(124);
  std::vector<int> fromA, fromB, fromC;
  for (int i = 0; i < 200; i++) {
    fromA.push_back(chooseLine(many, weakest, a));
    fromB.push_back(chooseLine(many, weakest, b));
    fromC.push_back(chooseLine(many, weakest, c));
  }
  EXPECT_EQ(fromA, fromB);
  EXPECT_NE(fromA, fromC);
}

TEST(StrengthChoice, SpreadOfChoicesWidensAsTheLevelFalls) {
  // Eight lines as a search might find them; 10,000 choices at each level from one seed.
  const std::vector<int> scores = {40, 30, 20, 0, -20, -60, -100, -150};
  struct Expected {
    int elo;
    std::vector<int> counts;
  };
  const std::vector<Expected> table = {
      {1000, {2310, 2124, 1873, 1465, 1145, 672, 411, 0}},
      {1500, {2907, 2464, 1991, 1349, 906, 383, 0, 0}},
      {1730, {4101, 2778, 1887, 876, 358, 0, 0, 0}},
      {1940, {6614, 2502, 884, 0, 0, 0, 0, 0}},
      {FullStrengthElo - 1, {9644, 356, 0, 0, 0, 0, 0, 0}},
  };
  int previousBest = 0;
  size_t previousSpread = scores.size() + 1;
  for (const Expected& e : table) {
    const StrengthLevel level = strengthLevel(e.elo);
    const std::vector<int> counts = choiceCounts(scores, level, 10000, 2024);
    EXPECT_EQ(counts, e.counts) << e.elo;
    // The counts agree with the softmax they sample (within four standard deviations), and
    // the lines beyond the level's loss are never chosen.
    double total = 0;
    for (int s : scores)
      if (s >= scores[0] - level.maxLoss) total += std::exp(s / double(level.noise));
    for (size_t i = 0; i < scores.size(); i++) {
      const bool candidate = scores[i] >= scores[0] - level.maxLoss;
      const double p = candidate ? std::exp(scores[i] / double(level.noise)) / total : 0;
      EXPECT_NEAR(counts[i], 10000 * p, 4 * std::sqrt(10000 * p * (1 - p)) + 1e-9)
          << e.elo << " line " << i;
    }
    // Better levels choose the best more often and fewer different moves.
    const size_t spread =
        size_t(std::count_if(counts.begin(), counts.end(), [](int n) { return n > 0; }));
    EXPECT_GT(counts[0], previousBest) << e.elo;
    EXPECT_LE(spread, previousSpread) << e.elo;
    previousBest = counts[0];
    previousSpread = spread;
  }
}

}  // namespace
