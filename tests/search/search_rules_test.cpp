// The search line format, the quiescence search's edge cases and the null-move conditions.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

#include "base/log.h"
#include "base/platform.h"
#include "board/position.h"
#include "search/search.h"
#include "search/search_controller.h"
#include "search/think.h"

namespace {

struct SearchRules : ::testing::Test {
  static void SetUpTestSuite() { initTables(); }
  SearchThread& t = searchController.master();

  void SetUp() override {
    timeControl.reset();
    timeControl.setFixedTime(3600 * 1000);
    timeControl.startClock();
    searchController.quiet = false;
    tt.clear();
    t.reset();
    t.stop = 0;
  }
  void TearDown() override { searchController.quiet = true; }
  void setUp(const char* fen) {
    ASSERT_TRUE(setFen(t.pos, fen)) << fen;
    t.reset();
    t.stop = 0;
  }
  std::string line(int score, const char* text) {
    FILE* saved = logFile;
    FILE* capture = std::tmpfile();
    logFile = capture;
    printSearchLine(searchController, score, text);
    logFile = saved;
    std::rewind(capture);
    char buffer[256] = {};
    size_t n = std::fread(buffer, 1, sizeof buffer - 1, capture);
    std::fclose(capture);
    return std::string(buffer, n);
  }
};

TEST_F(SearchRules, SearchLineColumns) {
  searchController.iterationDepth = 7;
  t.selDepth = 12;
  t.counters.interior = 120 * 1024 + 1000;  // 120k and a remainder below 1024
  EXPECT_TRUE(std::regex_match(line(35, ""), std::regex(R"(  \[7/12\]    0\.0\d\d     120k      35  )")))
      << line(35, "");
  t.counters.interior = 99999;
  t.selDepth = 9;
  EXPECT_TRUE(std::regex_match(line(-4, "ok"), std::regex(R"(  \[7/9\]     0\.0\d\d   99999       -4  ok)")))
      << line(-4, "ok");
  // Mates in moves, and the fail-high label.
  EXPECT_TRUE(line(29997, "(optimal)\n").find("      +2# (optimal)\n") != std::string::npos);
  EXPECT_TRUE(line(29999, "").find("      +1# ") != std::string::npos);
  EXPECT_TRUE(line(-29998, "").find("      -1# ") != std::string::npos);
  EXPECT_TRUE(line(28999, "").find("   28999 ") != std::string::npos);
  EXPECT_TRUE(line(12, "++3/20 ").find("      12  ++3/20 ") != std::string::npos);
  // Deep iterations lose their leading blanks; an hour and more prints h:mm:ss.
  searchController.iterationDepth = 100;
  t.counters.interior = 5;
  timeControl.startTick = tickCount() - 3723000;
  EXPECT_EQ(line(0, "--"), "[100/9]   1:02:03       5        0  --");
  // A magnitude above 99999k steps to m.
  t.counters.interior = 200u * 1024 * 1024;
  EXPECT_NE(line(0, "").find("     200m"), std::string::npos);
}

TEST_F(SearchRules, QuiescenceStalematesABoxedKingWithBlockedPawns) {
  setUp("k7/8/8/8/8/7p/5p1P/7K w - - 0 1");
  EXPECT_EQ(qsearch(t, 1, -100, 100, 4, 0), 0);
  EXPECT_EQ(t.counters.endNodes, 0u);  // decided without a search
  EXPECT_EQ(t.counters.quiescence, 1u);
}

TEST_F(SearchRules, QuiescenceInCheckWithoutEvasionIsMate) {
  setUp("7k/6Q1/6K1/8/8/8/8/8 b - - 0 1");
  EXPECT_EQ(qsearch(t, 3, -30000, 30000, 4, t.pos.lastMove), 3 - 30000);
  EXPECT_EQ(search(t, 5, -30000, 30000, 3, t.pos.lastMove, PvNode), 5 - 30000);
}

TEST_F(SearchRules, QuiescenceReturnsTheEvaluationAtPly120) {
  setUp("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 2 3");
  const int eval = t.eval.evaluate();
  EXPECT_EQ(qsearch(t, 120, 5000, 5001, 4, 0), eval);
  EXPECT_EQ(qsearch(t, 120, -5000, -4999, 4, 0), eval);
}

TEST_F(SearchRules, StandPatAboveBetaReturnsAtOnceWithoutStoring) {
  setUp("4k3/8/8/8/8/8/8/3QK3 w - - 0 1");
  const int eval = t.eval.evaluate();
  ASSERT_GE(eval, 50);
  EXPECT_EQ(qsearch(t, 2, -50, 50, 4, 0), eval);
  TtEntry e;
  EXPECT_FALSE(tt.probe(t.pos, e));
  EXPECT_EQ(t.counters.tt.newStores + t.counters.tt.updates, 0u);
}

TEST_F(SearchRules, NullMoveConditions) {
  const char* fen = "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";
  const Move last = makeMoveWord(0x66, 0x55);  // any earlier move
  // Each search on a fresh table, so that no stored result decides the node.
  auto fresh = [&] {
    setUp(fen);
    tt.clear();
  };
  fresh();
  // A beta the static score reaches, but not by the reverse-futility margin of depth 2.
  const int beta = t.eval.evaluate() - 10;
  // At depth 2 only the node itself may try a null move: its children are at depth 1.
  fresh();
  search(t, 1, 2999, 3000, 2, last, CutNode);  // a winning beta: never null
  EXPECT_EQ(t.counters.nullTries, 0u);
  fresh();
  search(t, 1, beta - 1, beta, 2, 0, CutNode);  // right after a null move: never null
  EXPECT_EQ(t.counters.nullTries, 0u);
  fresh();
  search(t, 1, beta - 1, beta, 2, last, PvNode);  // never on the principal variation
  EXPECT_EQ(t.counters.nullTries, 0u);
  fresh();
  search(t, 1, beta + 19, beta + 20, 2, last, CutNode);  // the static score is below beta
  EXPECT_EQ(t.counters.nullTries, 0u);
  fresh();
  search(t, 1, beta - 1, beta, 2, last, AllNode);
  EXPECT_EQ(t.counters.nullTries, 1u);
  fresh();
  search(t, 1, beta - 1, beta, 2, last, CutNode);
  EXPECT_EQ(t.counters.nullTries, 1u);
}

TEST_F(SearchRules, SearchLeavesThePositionAsFoundAfterAStop) {
  setUp("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
  char before[128], after[128];
  fenString(t.pos, before, sizeof before);
  timeControl.nodeLimit = 3000;
  const int score = search(t, 1, -30000, 30000, 12, makeMoveWord(0x66, 0x55), PvNode);
  timeControl.nodeLimit = 0;
  EXPECT_EQ(t.stop, 1u);
  EXPECT_EQ(score, 0);
  fenString(t.pos, after, sizeof after);
  EXPECT_STREQ(before, after);
  EXPECT_EQ(t.pos.ply, 0u);
}

}  // namespace
