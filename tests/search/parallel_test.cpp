// The controller's thread hand-over and the parallel search: one thread searches exactly as
// before and after parallel searches; two to eight threads (more than this machine has cores)
// stay sound over many positions and keep mate scores exact; stops, ponder hits and thread-count
// changes never hang; a cut-off at a split point stops exactly the threads below it. Nothing is
// timed: ctest's time-out turns a hang into a failure.
#include "search/parallel.h"

#include <gtest/gtest.h>

#include "board/notation.h"
#include "search/mate_cases.h"
#include "search/search_controller.h"
#include "support/paths.h"
#include "support/positions.h"
#include "support/search_recorder.h"

namespace {

// The search these tests drive: a controller of their own, with a small table.
SearchController& controller() {
  static SearchController search(16);
  return search;
}

const char* const Middlegame =
    "r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 0 1";

struct ParallelTest : ::testing::Test {
  static void SetUpTestSuite() {
    initTables();
    if (!controller().booted) controller().boot();
  }
  SearchRecorder recorder;
  void SetUp() override { prepareSearch(controller(), &recorder); }
  void TearDown() override {
    controller().stopAndWait();
    controller().listener = nullptr;
  }

  // A search on the test's thread (the workers join it).
  RecordedResult run(const Position& pos, int maxDepth, uint32_t nodeLimit = 0) {
    recorder.clear();
    controller().setPosition(pos);
    controller().maxDepth = maxDepth;
    controller().times().nodeLimit = nodeLimit;
    controller().start(false);
    return recorder.result();
  }
  // A search on the search thread without a time limit (a ponder search when `levelMs` is short:
  // a ponder hit then ends it).
  void startInfinite(const Position& pos, uint32_t levelMs) {
    recorder.clear();
    controller().setPosition(pos);
    TimeControl& times = controller().times();
    times.reset();
    times.setFixedTime(levelMs);
    times.infinite = 1;
    controller().start(true);
  }

  // One search of pos: one legal answer, the position untouched, and every worker back asleep
  // at the root (its path moves taken back).
  void expectSound(const RecordedResult& r, Position& pos, const char* what) {
    const std::string fen = fenOf(pos);
    EXPECT_EQ(r.calls, 1) << what << " " << fen;
    EXPECT_TRUE(isLegalMove(pos, r.move)) << what << " " << fen;
    for (int i = 0; i < controller().threadCount; i++) {
      SearchThread& w = controller().thread(i);
      w.idle.wait();
      EXPECT_EQ(fenOf(w.pos), fen) << what << ", thread " << i;
      EXPECT_EQ(w.pos.hashKey, pos.hashKey) << what << ", thread " << i;
    }
  }
};

TEST_F(ParallelTest, OneThreadSearchesExactlyAsBeforeAndAfterParallelSearches) {
  for (const char* fen :
       {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", Middlegame}) {
    auto pos = positionFrom(fen);
    controller().newGame();
    const RecordedResult before = run(*pos, 6);
    const uint32_t nodesBefore = controller().totalNodes();
    EXPECT_EQ(controller().summedCounters().splits, 0u);
    for (int threads : {4, 8, 2}) {
      controller().setThreads(threads);
      controller().newGame();
      const RecordedResult r = run(*pos, 6);
      expectSound(r, *pos, "after a thread-count change");
      EXPECT_EQ(r.depth, 6);
    }
    controller().setThreads(1);
    controller().newGame();
    const RecordedResult after = run(*pos, 6);
    EXPECT_EQ(after.move, before.move) << fen;
    EXPECT_EQ(after.score, before.score) << fen;
    EXPECT_EQ(controller().totalNodes(), nodesBefore) << fen;
  }
}

TEST_F(ParallelTest, SoundOverManyPositionsAndMatesExactWithTwoToEightThreads) {
  std::vector<std::string> fens = gameFens(dataPath("master-games.pgn"), 4, 5, 1);
  fens.resize(20);
  const std::vector<std::string> random = randomPlayFens(6, 60, 20240611);
  for (size_t i = 4; i < random.size() && fens.size() < 40; i += 7) fens.push_back(random[i]);
  ASSERT_EQ(fens.size(), 40u);
  uint64_t splits = 0;
  for (int threads : {2, 3, 4, 8}) {
    controller().setThreads(threads);
    for (size_t i = 0; i < fens.size(); i++) {
      auto pos = positionFrom(fens[i]);
      // Alternately a clean and a filled table: splits meet table cuts and stale entries.
      if (i % 2 == 0) controller().newGame();
      expectSound(run(*pos, 0, 3000 + 500 * uint32_t(i % 5)), *pos, "node limit");
      expectSound(run(*pos, 3 + int(i % 3)), *pos, "depth limit");
      splits += controller().summedCounters().splits;
    }
    for (const MateCase& c : mateCases) {
      auto pos = positionFrom(c.fen);
      const RecordedResult r = run(*pos, 0);
      EXPECT_EQ(r.score, c.score) << threads << " threads: " << c.fen;
      char text[MoveTextSize];
      EXPECT_TRUE(!*c.move || std::string(coordinateMove(text, r.move)) == c.move) << c.fen;
      expectSound(r, *pos, c.fen);
    }
  }
  // Hundreds of searches: had none of them split, the workers would never have searched at all.
  EXPECT_GT(splits, 0u);
}

// The interfaces stop searches, send ponder hits and change the thread count while a search
// runs: the running search goes on with the threads it has, the next one uses the new count.
TEST_F(ParallelTest, StopsPonderHitsAndThreadCountChangesDuringSearches) {
  auto pos = positionFrom(Middlegame);
  for (int round = 0; round < 6; round++) {
    controller().setThreads(round % 2 ? 3 : 8);
    startInfinite(*pos, round < 3 ? 3600 * 1000 : 1);
    recorder.waitForDepth(3);
    controller().setThreads(2);
    recorder.waitForDepth(4);
    controller().setThreads(round % 2 ? 8 : 1);
    recorder.waitForDepth(4 + round % 2);
    if (round < 3) {
      controller().stopAndWait();
    } else {
      controller().ponderHit();  // no time left: the search ends by itself
      controller().waitUntilIdle();
    }
    expectSound(recorder.result(), *pos, round < 3 ? "stopped" : "ponder hit");
  }
  // A stop right after an asynchronous start is not lost (it would wait forever).
  for (int i = 0; i < 20; i++) {
    startInfinite(*pos, 3600 * 1000);
    controller().stopAndWait();
  }
  EXPECT_NE(controller().bestMove(), 0u);
}

// Three nested split points U (ply 2) > S (ply 4) > T (ply 6). A cut-off at S must stop the
// threads working at S and T and nobody above S; each stopped thread keeps the shallowest abort
// ply it was given and counts a kill.
TEST_F(ParallelTest, CutOffAtASplitPointStopsOnlyTheThreadsBelowIt) {
  controller().setThreads(8);
  for (int i = 0; i < MaxThreads; i++) controller().thread(i).idle.wait();
  auto u = std::make_unique<SplitPoint>(), s = std::make_unique<SplitPoint>(),
       t = std::make_unique<SplitPoint>();
  // Each split point shares the moves of the start position.
  auto mover = std::make_unique<SearchThread>();
  ASSERT_TRUE(setFen(mover->pos, InitialFen));
  auto pickers = std::make_unique<MovePicker[]>(3);
  SplitPoint* parent = nullptr;
  for (SplitPoint* sp : {u.get(), s.get(), t.get()}) {
    sp->ply = parent ? parent->ply + 2 : 2;
    sp->parent = parent;
    sp->beta = 100;
    sp->bestScore = -Infinity;
    MovePicker& picker = pickers[sp == u.get() ? 0 : sp == s.get() ? 1 : 2];
    picker.startMain(*mover, 0, 0, false, 0);
    picker.share();
    sp->picker = &picker;
    parent = sp;
  }
  // Owner of U; the cutter at S; a helper waiting at S; helpers at T aborted above and below S;
  // a thread without a split point.
  SplitPoint* at[6] = {u.get(), s.get(), s.get(), t.get(), t.get(), nullptr};
  const int abortPly[6] = {0, 0, 0, 3, 7, 0};
  SearchThread* threads[6];
  for (int i = 0; i < 6; i++) {
    SearchThread& x = *(threads[i] = &controller().thread(i + 1));
    x.stop = 0;
    x.available = i == 2;
    x.counters = SearchCounters();
    x.currentSplit = at[i];
    x.abortPly = abortPly[i];
  }
  abortSplit(*threads[1], *s, 0x1234, 250);
  EXPECT_EQ(s->picker->next(), 0u);  // no more moves are handed out at S
  EXPECT_NE(u->picker->next(), 0u);  // ... but above and below it
  EXPECT_NE(t->picker->next(), 0u);
  EXPECT_EQ(s->bestScore.load(), 250);
  EXPECT_EQ(s->bestMove.load(), 0x1234u);
  EXPECT_EQ(s->alpha.load(), 250);
  EXPECT_EQ(u->bestScore.load(), -Infinity);  // nothing happened above S
  const uint32_t stopped[6] = {0, 0, 1, 1, 1, 0};
  const int newAbortPly[6] = {0, 0, 4, 3, 4, 0};  // an abort further up stays in force
  for (int i = 0; i < 6; i++) {
    EXPECT_EQ(uint32_t(threads[i]->stop), stopped[i]) << i;
    EXPECT_EQ(threads[i]->abortPly, newAbortPly[i]) << i;
    EXPECT_EQ(threads[i]->counters.kills, stopped[i]) << i;
  }
  EXPECT_EQ(threads[1]->counters.splitCuts, 1u);
  EXPECT_EQ(uint32_t(threads[2]->available), 0u);
  // A thread that is stopped itself when it cuts off stops nobody else.
  threads[2]->stop = 0;
  threads[1]->stop = 1;
  abortSplit(*threads[1], *t, 0x1234, 300);
  EXPECT_EQ(uint32_t(threads[2]->stop), 0u);
  EXPECT_EQ(threads[3]->counters.kills, 1u);
  for (SearchThread* x : threads) {
    x->currentSplit = nullptr;
    x->abortPly = 0;
    x->available = 0;
    x->stop = 1;  // as after any search; the next search start clears it
  }
}

}  // namespace
