// Whole searches through the controller: mates with exact scores and endings, draws, the
// quiescence edge cases, fixed-depth determinism and soundness over many positions.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/log.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "search/mate_cases.h"
#include "search/search_controller.h"
#include "support/positions.h"

namespace {

struct Result {
  int depth = -1;
  int score = 0;
  Move move = 0;
  int calls = 0;
};

class Recorder : public SearchListener {
 public:
  Result result;
  int reports = 0;
  void finished(int depth, int score, Move bestMove) override {
    result.depth = depth;
    result.score = score;
    result.move = bestMove;
    result.calls++;
  }
  void iterationReport(int, int, Move) override { reports++; }
  void currentMove(int, int, Move) override {}
};

struct SearchTest : ::testing::Test {
  static void SetUpTestSuite() { initTables(); }
  Recorder recorder;
  Position pos;
  std::string log;

  void SetUp() override {
    searchController.listener = &recorder;
    searchController.quiet = true;
    searchController.maxDepth = 0;
    timeControl.reset();
    timeControl.setFixedTime(3600 * 1000);  // an hour: only depth and nodes end these searches
    tt.clear();
  }
  void TearDown() override { searchController.listener = nullptr; }

  void setUp(const char* fen) { ASSERT_TRUE(setFen(pos, fen)) << fen; }
  std::string text(Move m) {
    char buffer[MoveTextSize];
    return printMove(pos, buffer, m);
  }
  Result run(int maxDepth, uint32_t nodeLimit = 0) {
    recorder.result = Result();
    searchController.setPosition(pos);
    searchController.maxDepth = maxDepth;
    timeControl.nodeLimit = nodeLimit;
    searchController.start(false);
    return recorder.result;
  }
  // Runs a search with the log captured.
  Result runLogged(int maxDepth) {
    FILE* saved = logFile;
    FILE* capture = std::tmpfile();
    logFile = capture;
    searchController.quiet = false;
    Result r = run(maxDepth);
    searchController.quiet = true;
    logFile = saved;
    std::rewind(capture);
    log.clear();
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, capture)) log += buffer;
    std::fclose(capture);
    return r;
  }
};

TEST_F(SearchTest, MateInOneTwoAndThreeWithExactScores) {
  for (const MateCase& c : mateCases) {
    setUp(c.fen);
    Result r = runLogged(0);
    EXPECT_EQ(r.score, c.score) << c.fen;
    EXPECT_EQ(r.calls, 1);
    char coordinates[MoveTextSize];
    if (*c.move) {
      EXPECT_STREQ(coordinateMove(coordinates, r.move), c.move) << c.fen;
    }
    EXPECT_NE(log.find("(optimal)\n"), std::string::npos) << log;
    // The mate is found no later than the depth that can see it and ends the search at once.
    const int plies = 30000 - (c.score > 0 ? c.score : -c.score);
    EXPECT_LE(r.depth, plies) << c.fen;
    EXPECT_GE(r.depth + 1, plies) << c.fen;
  }
}

TEST_F(SearchTest, MateInTwoShowsItsDistanceInMoves) {
  setUp("7k/8/8/8/8/8/R7/1R4K1 w - - 0 1");
  Result r = runLogged(0);
  ASSERT_EQ(r.score, 29997);
  // The quiescence search's checks see the mating move already at depth 2; an iteration that
  // can see the whole mate ends the search.
  EXPECT_GE(r.depth, 2) << log;
  EXPECT_LE(r.depth, 3) << log;
  EXPECT_NE(log.find("      +2# (optimal)\n"), std::string::npos) << log;
}

TEST_F(SearchTest, NoLegalMove) {
  setUp("7k/6Q1/6K1/8/8/8/8/8 b - - 0 1");  // checkmated
  Result r = run(5);
  EXPECT_EQ(r.depth, 0);
  EXPECT_EQ(r.score, -30000);
  EXPECT_EQ(r.move, 0u);
  EXPECT_EQ(searchController.ponderMove(), 0u);
  setUp("7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");  // stalemate
  r = run(5);
  EXPECT_EQ(r.depth, 0);
  EXPECT_EQ(r.score, 0);
  EXPECT_EQ(r.move, 0u);
  EXPECT_EQ(recorder.result.calls, 1);
}

TEST_F(SearchTest, SingleLegalMoveEndsAfterTheSecondIteration) {
  setUp("k7/8/6K1/8/8/8/8/1R6 b - - 0 1");  // only Ka8-a7, and no quick mate
  Move list[MaxMoves];
  const int n = generateLegalMoves(pos, list);
  ASSERT_EQ(n, 1);
  Result r = runLogged(0);
  EXPECT_EQ(r.depth, 2) << log;
  EXPECT_EQ(r.move & MoveCompareMask, list[0] & MoveCompareMask);
  EXPECT_NE(log.find(" single move\n"), std::string::npos) << log;
}

TEST_F(SearchTest, MaximumDepthOneRunsOneIterationWithoutEnding) {
  setUp(InitialFen);
  Result r = runLogged(1);
  EXPECT_EQ(r.depth, 1);
  EXPECT_NE(log.find(" ok/"), std::string::npos) << log;
  EXPECT_EQ(log.find("stopped"), std::string::npos);
  EXPECT_EQ(log.find("timeout"), std::string::npos);
}

TEST_F(SearchTest, DrawnMaterialAndFiftyMovesScoreZero) {
  setUp("8/8/4k3/8/8/3NK3/8/8 w - - 0 1");
  Result r = run(6);
  EXPECT_EQ(r.score, 0);
  EXPECT_NE(r.move, 0u);
}

TEST_F(SearchTest, NodeLimitStopsTheSearchWithALegalMove) {
  setUp("r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4");
  Result r = run(0, 20000);
  EXPECT_NE(r.move, 0u);
  // The limit is checked every 256 interior nodes, so the search overshoots a little.
  EXPECT_GE(searchController.totalNodes(), 20000u);
  EXPECT_LT(searchController.totalNodes(), 40000u);
  EXPECT_TRUE(isMoveLegal(pos, r.move & MoveCompareMask));
}

TEST_F(SearchTest, FixedDepthSearchIsDeterministic) {
  const char* fens[] = {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
                        "rnbqkb1r/pp1p1ppp/4pn2/2p5/2PP4/2N5/PP2PPPP/R1B1KBNR w KQkq - 0 4"};
  for (const char* fen : fens) {
    setUp(fen);
    tt.clear();
    Result first = run(5);
    const uint32_t nodes = searchController.totalNodes();
    tt.clear();
    Result second = run(5);
    EXPECT_EQ(first.move, second.move) << fen;
    EXPECT_EQ(first.score, second.score) << fen;
    EXPECT_EQ(nodes, searchController.totalNodes()) << fen;
    EXPECT_EQ(first.depth, 5);
  }
}

TEST_F(SearchTest, PonderMoveIsTheSecondPvMove) {
  setUp("7k/8/8/8/8/8/R7/1R4K1 w - - 0 1");
  run(0);
  const Move* pv = searchController.pv();
  ASSERT_NE(pv[0], 0u);
  ASSERT_NE(pv[1], 0u);
  EXPECT_EQ(searchController.ponderMove(), pv[1]);
  EXPECT_EQ(searchController.bestMove() & MoveCompareMask, pv[0]);
}

// Plays random legal moves from the start and from a real game's opening, and searches each
// position with a small node limit: the answer is always a legal move, the position is
// untouched, and a repeated search with a clean table repeats itself exactly.
TEST_F(SearchTest, SoundOverRandomPositions) {
  std::mt19937 random(20240611);
  int searched = 0;
  for (int game = 0; game < 12; game++) {
    setUp(game % 2 ? InitialFen
                   : "r1bqkbnr/pppp1ppp/2n5/4p3/3PP3/5N2/PPP2PPP/RNBQKB1R b KQkq d3 0 3");
    for (int ply = 0; ply < 40; ply++) {
      Move list[MaxMoves];
      const int n = generateLegalMoves(pos, list);
      if (n == 0) break;
      if (ply % 3 == 2) {
        const std::string before = fenOf(pos);
        const uint64_t key = pos.hashKey;
        tt.clear();
        Result r = run(0, 3000);
        EXPECT_EQ(fenOf(pos), before);
        EXPECT_EQ(key, pos.hashKey);
        EXPECT_TRUE(isLegalMove(pos, r.move)) << before << " " << text(r.move);
        // The same search again from a clean table: nothing leaks from one search to the next.
        tt.clear();
        Result again = run(0, 3000);
        EXPECT_EQ(r.move, again.move) << before;
        EXPECT_EQ(r.score, again.score) << before;
        searched++;
      }
      Move m = list[random() % n];
      pos.lastMove = makeMove(pos, m & ~MoveCheckFlags);
      ASSERT_NE(pos.lastMove, 0u);
      if (fiftyMoveDraw(pos) || materialDraw(pos)) break;
    }
  }
  EXPECT_GT(searched, 100);
}

}  // namespace
