// Analysis requests through the controller, bounded by depth: several lines, a restricted root,
// a mate search.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "board/makemove.h"
#include "board/notation.h"
#include "search/mate_cases.h"
#include "search/search_controller.h"
#include "support/positions.h"

namespace {

// The search these tests drive: a controller of their own, with a small table.
SearchController& controller() {
  static SearchController search(16);
  return search;
}

// The lines of the last iteration (a one-line search: its last best line).
struct Lines : SearchListener {
  std::vector<std::vector<Move>> pvs;
  std::vector<int> scores;
  void finished(const SearchResult&) override {}
  void searchInfo(const SearchInfo& info) override {
    if (info.bound != BoundExact) return;
    const int line = std::max(info.line, 1);
    pvs.resize(line - 1);
    scores.resize(line - 1);
    pvs.emplace_back(info.pv.moves, std::find(info.pv.moves, info.pv.moves + PvRows, Move(0)));
    scores.push_back(info.score);
  }
};

const char* const Kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -";
const char* const RookTakesQueen = "4k3/8/8/3q4/8/8/3R4/3K4 w - - 0 1";

struct AnalysisSearchTest : ::testing::Test {
  static void SetUpTestSuite() {
    initTables();
    if (!controller().booted) controller().boot();
  }
  Lines lines;
  Position pos;
  void SetUp() override { controller().quiet = true; }
  void TearDown() override {  // the next suites expect one thread and no listener
    controller().setThreads(1);
    search(RookTakesQueen, {.depth = 1});
    controller().listener = nullptr;
  }
  Move move(const char* text) { return parseMove(pos, text); }
  // A fresh table and listener each time, so that no search steers the next.
  void search(const char* fen, const SearchLimits& l) {
    ASSERT_TRUE(setFen(pos, fen));
    lines = Lines();
    controller().listener = &lines;
    controller().newGame();
    controller().start(pos, l, false);
  }
  bool same(Move a, Move b) { return (a & MoveCompareMask) == (b & MoveCompareMask); }
};

// Line 1 is the one-line search's answer: its move where that is clearly best, and its score
// where the score cannot depend on the path (the mates); the other lines' windows leave other
// table entries behind.
TEST_F(AnalysisSearchTest, LinesAreDistinctLegalBestFirstAndLineOneIsTheBestMove) {
  struct Case {
    const char* fen;
    int depth, lines, expected;
    bool exact;
  };
  std::vector<Case> cases = {{Kiwipete, 5, 5, 5, false},
                             {RookTakesQueen, 6, 3, 3, false},
                             {"7k/8/8/8/8/8/7P/7K w - - 0 1", 5, 5, 4, false}};
  for (const MateCase& c : mateCases) cases.push_back({c.fen, 8, 3, -1, true});
  for (int threads : {1, 2}) {
    controller().setThreads(threads);
    for (const Case& c : cases) {
      search(c.fen, {.depth = c.depth});
      const Lines one = lines;
      search(c.fen, {.depth = c.depth, .lines = c.lines});
      const auto& pvs = lines.pvs;
      EXPECT_TRUE(c.expected < 0 || int(pvs.size()) == c.expected) << c.fen;
      for (size_t i = 0; i < pvs.size(); i++) {
        EXPECT_TRUE(i == 0 || lines.scores[i] <= lines.scores[i - 1]) << c.fen;
        for (size_t j = 0; j < i; j++) EXPECT_FALSE(same(pvs[i][0], pvs[j][0])) << c.fen;
        Position walk;
        copyPosition(walk, pos);
        for (Move m : pvs[i]) ASSERT_TRUE(isLegalMove(walk, m) && makeMove(walk, m)) << c.fen;
      }
      EXPECT_TRUE(same(controller().bestMove(), pvs[0][0])) << c.fen;
      if (threads > 1) continue;  // with helpers: legal and well-formed only
      EXPECT_TRUE(same(pvs[0][0], one.pvs[0][0])) << c.fen;
      EXPECT_TRUE(!c.exact || lines.scores[0] == one.scores[0]) << c.fen;
    }
  }
}

// (Lines of listed moves only: the UCI analysis test.) A single listed move is played even when it
// loses, searched to the depth asked; a list without a legal move leaves every move. A mate as
// short as asked ends the search, a longer one (or none) runs on to the depth limit.
TEST_F(AnalysisSearchTest, RestrictedRootAndMateSearch) {
  ASSERT_TRUE(setFen(pos, RookTakesQueen));
  search(RookTakesQueen, {.depth = 6, .searchMoves = {move("d2d3")}});
  EXPECT_TRUE(same(controller().bestMove(), move("d2d3")));
  EXPECT_LT(controller().rootScore(), -300);
  EXPECT_EQ(controller().depth(), 6);
  search(Kiwipete, {.depth = 2, .searchMoves = {move("d2d3")}});  // no move of this position
  EXPECT_EQ(controller().rootMoveCount(), 48);

  const MateCase& mateIn3 = mateCases[2];
  search(mateIn3.fen, {.depth = 12, .mateMoves = 3});
  EXPECT_EQ(controller().rootScore(), mateIn3.score);
  EXPECT_LE(controller().depth(), 6);
  search(mateIn3.fen, {.depth = 12, .mateMoves = 2});
  EXPECT_EQ(controller().depth(), 12);
  search(InitialFen, {.depth = 6, .mateMoves = 3});
  EXPECT_EQ(controller().depth(), 6);
}

}  // namespace
