// Analysis requests through the controller: several lines are distinct root moves, best first,
// line 1 the one-line search's answer; a restricted root plays only listed moves; a mate search
// ends with its mate and runs on past a longer one. Every search is bounded by depth.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "search/mate_cases.h"
#include "search/search_controller.h"
#include "support/positions.h"

namespace {

struct Line {
  int score;
  std::vector<Move> pv;
};

class LineRecorder : public SearchListener {
 public:
  std::vector<Line> lines;  // of the last iteration that reported lines
  int depth = -1, score = 0;
  Move best = 0;
  void finished(int d, int s, Move m) override {
    depth = d;
    score = s;
    best = m;
  }
  // A one-line search reports its new best moves: its line is the last of them.
  void iterationReport(int d, int s, Move) override { lineReport(d, 1, s, searchController.pv()); }
  void currentMove(int, int, Move) override {}
  void lineReport(int, int line, int s, const Move* pv) override {
    if (line == 1) lines.clear();
    lines.push_back({s, {}});
    for (int i = 0; pv[i]; i++) lines.back().pv.push_back(pv[i]);
  }
};

Move parsed(const char* fen, const char* text) {
  Position pos;
  setFen(pos, fen);
  const Move m = parseMove(pos, text);
  EXPECT_NE(m, 0u) << text << " in " << fen;
  return m;
}

bool sameMove(Move a, Move b) { return (a & MoveCompareMask) == (b & MoveCompareMask); }

constexpr const char* Kiwipete =
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
constexpr const char* RookTakesQueen = "4k3/8/8/3q4/8/8/3R4/3K4 w - - 0 1";

struct AnalysisSearchTest : ::testing::Test {
  static void SetUpTestSuite() {
    initTables();
    if (!searchController.booted) searchController.boot();
  }
  LineRecorder recorder;
  Position pos;

  void SetUp() override {
    searchController.listener = &recorder;
    searchController.quiet = true;
  }
  // Other suites in this program take one thread and the last search's node total for granted.
  void TearDown() override {
    searchController.setThreads(1);
    search(RookTakesQueen, limits(1));
    searchController.listener = nullptr;
  }

  static SearchLimits limits(int depth, int lines = 1) {
    SearchLimits l;
    l.depth = depth;
    l.lines = lines;
    return l;
  }
  // A fresh start, as the bench makes it: nothing a search leaves behind steers the next.
  void search(const char* fen, const SearchLimits& l) {
    ASSERT_TRUE(setFen(pos, fen)) << fen;
    recorder = LineRecorder();
    searchController.table().clear();
    resizePawnHash(searchController.master().eval.pawnHash(), PawnHash::DefaultEntries);
    searchController.master().eval.clearCache();
    searchController.start(pos, l, false);
  }
  int legalMoves() {
    Move list[MaxMoves];
    return generateLegalMoves(pos, list);
  }
  // As many lines as asked (or as there are moves), each a legal line of its own root move,
  // best first; line 1 is the search's best move.
  void expectWellFormed(int asked, const std::string& what) {
    const auto& lines = recorder.lines;
    ASSERT_EQ(int(lines.size()), std::min(asked, legalMoves())) << what;
    for (size_t i = 0; i < lines.size(); i++) {
      ASSERT_FALSE(lines[i].pv.empty()) << what;
      if (i > 0) {
        EXPECT_LE(lines[i].score, lines[i - 1].score) << what << " line " << i + 1;
      }
      for (size_t j = 0; j < i; j++)
        EXPECT_FALSE(sameMove(lines[i].pv[0], lines[j].pv[0])) << what << " line " << i + 1;
      Position walk;
      copyPosition(walk, pos);
      for (Move m : lines[i].pv)
        ASSERT_TRUE(isLegalMove(walk, m) && makeMove(walk, m)) << what << " line " << i + 1;
    }
    EXPECT_TRUE(sameMove(lines[0].pv[0], recorder.best)) << what;
    EXPECT_EQ(lines[0].score, recorder.score) << what;
  }
};

// Line 1 is what the one-line search answers. Its score is exact where the search's answer
// does not depend on the path it took (the mates); elsewhere the windows of the other lines
// leave other table entries, so only a clearly best move is compared.
TEST_F(AnalysisSearchTest, LinesAreDistinctBestFirstAndLineOneIsTheOneLineAnswer) {
  struct Case {
    const char* fen;
    int depth, lines;
    bool exactScore;
  };
  std::vector<Case> cases = {{Kiwipete, 5, 5, false},
                             {RookTakesQueen, 6, 3, false},
                             {"7k/8/8/8/8/8/7P/7K w - - 0 1", 6, 5, false}};  // 4 moves
  for (const MateCase& c : mateCases) cases.push_back({c.fen, 8, 3, true});
  for (const Case& c : cases) {
    search(c.fen, limits(c.depth));
    const LineRecorder single = recorder;
    search(c.fen, limits(c.depth, c.lines));
    expectWellFormed(c.lines, c.fen);
    EXPECT_TRUE(sameMove(recorder.best, single.best)) << c.fen;
    if (c.exactScore) {
      EXPECT_EQ(recorder.score, single.score) << c.fen;
    }
  }
  // With a helper thread the lines stay legal, distinct and ordered.
  searchController.setThreads(2);
  for (const Case& c : cases) {
    search(c.fen, limits(c.depth, c.lines));
    expectWellFormed(c.lines, std::string("2 threads: ") + c.fen);
  }
}

TEST_F(AnalysisSearchTest, RestrictedRootPlaysOnlyTheListedMoves) {
  SearchLimits l = limits(5, 3);
  l.searchMoves = {parsed(Kiwipete, "a2a3"), parsed(Kiwipete, "e5f7")};
  search(Kiwipete, l);
  ASSERT_EQ(recorder.lines.size(), 2u);
  for (const Line& line : recorder.lines)
    EXPECT_TRUE(sameMove(line.pv[0], l.searchMoves[0]) || sameMove(line.pv[0], l.searchMoves[1]));

  // One listed move is played, even one that gives the rook away, and searched to the depth.
  l = limits(6);
  l.searchMoves = {parsed(RookTakesQueen, "d2d3")};
  search(RookTakesQueen, l);
  EXPECT_TRUE(sameMove(recorder.best, l.searchMoves[0]));
  EXPECT_LT(recorder.score, -300);
  EXPECT_EQ(recorder.depth, 6);

  // A list with no move of this position leaves every move to the search.
  l.searchMoves = {parsed(InitialFen, "e2e4")};
  search(Kiwipete, l);
  EXPECT_EQ(searchController.rootMoveCount(), legalMoves());
}

// A mate as short as asked ends the search; a longer one does not, nor does no mate at all:
// those run on to the depth limit (without it, until stopped).
TEST_F(AnalysisSearchTest, MateSearchEndsWithItsMateOnly) {
  for (const MateCase& c : mateCases) {
    if (c.score < 0) continue;
    const int moves = (Infinity + 1 - c.score) / 2;
    SearchLimits l = limits(12);
    l.mateMoves = moves;
    search(c.fen, l);
    EXPECT_EQ(recorder.score, c.score) << c.fen;
    EXPECT_LE(recorder.depth, 2 * moves) << c.fen;
    if (moves == 1) continue;
    l = limits(12);
    l.mateMoves = moves - 1;
    search(c.fen, l);
    EXPECT_EQ(recorder.score, c.score) << c.fen;
    EXPECT_EQ(recorder.depth, 12) << c.fen;
  }
  SearchLimits l = limits(6);
  l.mateMoves = 3;
  search(InitialFen, l);
  EXPECT_EQ(recorder.depth, 6);
}

}  // namespace
