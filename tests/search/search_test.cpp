// Whole searches on one thread: mates with exact scores, positions without a move, fixed-depth
// determinism and soundness over random positions. (Stops that leave the position as found: the
// parallel test.)
#include "search/search.h"

#include <gtest/gtest.h>

#include "board/notation.h"
#include "search/mate_cases.h"
#include "search/search_controller.h"
#include "support/positions.h"
#include "support/search_recorder.h"

namespace {

// The search these tests drive: a controller of their own, with a small table.
SearchController& controller() {
  static SearchController search(16);
  return search;
}

struct SearchTest : ::testing::Test {
  SearchRecorder recorder;
  void SetUp() override { prepareSearch(controller(), &recorder); }
  void TearDown() override { controller().listener = nullptr; }

  RecordedResult run(const Position& pos, int maxDepth, uint32_t nodeLimit = 0) {
    recorder.clear();
    controller().setPosition(pos);
    controller().maxDepth = maxDepth;
    controller().times().nodeLimit = nodeLimit;
    controller().start(false);
    return recorder.result();
  }
};

TEST_F(SearchTest, MatesWithExactScoresAndPositionsWithoutAMove) {
  for (const MateCase& c : mateCases) {
    auto pos = positionFrom(c.fen);
    const RecordedResult r = run(*pos, 0);
    EXPECT_EQ(r.score, c.score) << c.fen;
    EXPECT_EQ(r.calls, 1);
    char text[MoveTextSize];
    if (*c.move) {
      EXPECT_STREQ(coordinateMove(text, r.move), c.move) << c.fen;
    }
    // Found no later than the depth that sees it, and the search ends there.
    const int plies = 30000 - std::abs(c.score);
    EXPECT_LE(r.depth, plies) << c.fen;
    EXPECT_GE(r.depth + 1, plies) << c.fen;
  }
  const struct {
    const char* fen;
    int score;
  } none[] = {{"7k/6Q1/6K1/8/8/8/8/8 b - - 0 1", -30000}, {"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", 0}};
  for (const auto& c : none) {
    const RecordedResult r = run(*positionFrom(c.fen), 5);
    EXPECT_EQ(r.depth, 0) << c.fen;
    EXPECT_EQ(r.score, c.score) << c.fen;
    EXPECT_EQ(r.move, 0u) << c.fen;
    EXPECT_EQ(controller().ponderMove(), 0u);
  }
  // A single legal move (and no quick mate) ends the search after the second iteration.
  auto single = positionFrom("k7/8/6K1/8/8/8/8/1R6 b - - 0 1");
  const RecordedResult r = run(*single, 0);
  EXPECT_EQ(r.depth, 2);
  EXPECT_TRUE(isLegalMove(*single, r.move));
}

// Mate scores come back from the table relative to the node that reads them. Searched again and
// again to depths 8 to 16 with the table kept, the king and queen's mate in 6 (stockfish's
// distance) is never reported shorter, and once found it is reported exactly.
TEST_F(SearchTest, MateDistancesReadBackFromTheTableNeverShrink) {
  const int mateInSix = Infinity - 11;
  auto pos = positionFrom("8/8/8/8/8/2k5/8/K6Q w - - 0 1");
  RecordedResult r;
  for (int depth = 8; depth <= 16; depth++) {
    r = run(*pos, depth);
    EXPECT_LE(recorder.highestScore, mateInSix) << "depth " << depth;
  }
  EXPECT_EQ(r.score, mateInSix);
}

// Random play from the start and from a real opening, each position searched with a node limit
// and again to a fixed depth: the answer is legal, the position untouched, and a repeat with a
// clean table repeats every result and node count exactly.
TEST_F(SearchTest, DeterministicAndSoundOverRandomPositions) {
  std::mt19937 random(20240611);
  int searched = 0;
  for (int game = 0; game < 12; game++) {
    auto pos = positionFrom(
        game % 2 ? InitialFen
                 : "r1bqkbnr/pppp1ppp/2n5/4p3/3PP3/5N2/PPP2PPP/RNBQKB1R b KQkq d3 0 3");
    for (int ply = 0; ply < 40 && !fiftyMoveDraw(*pos) && !materialDraw(*pos); ply++) {
      if (ply % 3 == 2) {
        const std::string before = fenOf(*pos);
        for (auto [depth, nodes] : {std::pair{0, 3000u}, std::pair{4, 0u}}) {
          controller().newGame();
          const RecordedResult first = run(*pos, depth, nodes);
          const uint32_t firstNodes = controller().totalNodes();
          controller().newGame();
          const RecordedResult again = run(*pos, depth, nodes);
          EXPECT_EQ(fenOf(*pos), before);
          EXPECT_TRUE(isLegalMove(*pos, first.move)) << before;
          EXPECT_EQ(first.move, again.move) << before;
          EXPECT_EQ(first.score, again.score) << before;
          EXPECT_EQ(firstNodes, controller().totalNodes()) << before;
        }
        searched++;
      }
      if (playRandomMoves(*pos, 1, random).empty()) break;
    }
  }
  EXPECT_GT(searched, 100);
  // A node limit ends a search that would go on: checked now and then, it is overshot a little.
  const RecordedResult limited = run(*positionFrom(InitialFen), 0, 20000);
  EXPECT_TRUE(isLegalMove(*positionFrom(InitialFen), limited.move));
  EXPECT_GE(controller().totalNodes(), 20000u);
  EXPECT_LT(controller().totalNodes(), 40000u);
}

// The move ordering and the evaluation correction a search learns carry over to the next
// search of the game (the tree differs even with the table cleared), and a new game forgets
// them (the tree is the first one again).
TEST_F(SearchTest, WhatASearchLearntCarriesToTheNextMoveUntilANewGame) {
  auto pos = positionFrom("r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N2N2/PP2BPPP/R1BQ1RK1 w - - 0 8");
  controller().newGame();
  const RecordedResult first = run(*pos, 7);
  const uint64_t firstNodes = controller().totalNodes();
  controller().table().clear();
  run(*pos, 7);
  EXPECT_NE(controller().totalNodes(), firstNodes);
  controller().newGame();
  const RecordedResult again = run(*pos, 7);
  EXPECT_EQ(controller().totalNodes(), firstNodes);
  EXPECT_EQ(again.move, first.move);
  EXPECT_EQ(again.score, first.score);
}

}  // namespace
