// The parallel search: one thread searches exactly as the plain search; two to eight threads
// (more than this machine has cores) stay sound over hundreds of positions, stop on request,
// keep mate scores exact, survive thread-count changes; a cut-off at a split point stops
// exactly the threads below it. A watchdog turns a hang into a failure; nothing is timed.
#include "search/parallel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "base/log.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "search/mate_cases.h"
#include "search/search_controller.h"
#include "support/paths.h"
#include "support/positions.h"

namespace {

// Aborts the test program if the guarded scope does not end within the given time: a deadlock
// must fail the run instead of stalling it. Not a timing check: the limits are minutes.
class HangGuard {
 public:
  HangGuard(const char* what, int seconds) : what_(what) {
    watcher_ = std::thread([this, seconds] {
      std::unique_lock<std::mutex> lock(mutex_);
      if (!done_changed_.wait_for(lock, std::chrono::seconds(seconds), [this] { return done_; })) {
        std::fprintf(stderr, "HANG: %s did not finish\n", what_);
        std::abort();
      }
    });
  }
  ~HangGuard() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    done_changed_.notify_all();
    watcher_.join();
  }

 private:
  const char* what_;
  std::mutex mutex_;
  std::condition_variable done_changed_;
  bool done_ = false;
  std::thread watcher_;
};

struct Result {
  int depth = -1;
  int score = 0;
  Move move = 0;
  int calls = 0;
};

class Recorder : public SearchListener {
 public:
  std::mutex mutex;
  Result result;
  std::atomic<int> reportedDepth{0};  // deepest iteration reported by the running search
  void finished(int depth, int score, Move bestMove) override {
    std::lock_guard<std::mutex> lock(mutex);
    result.depth = depth;
    result.score = score;
    result.move = bestMove;
    result.calls++;
  }
  void iterationReport(int depth, int, Move) override {
    if (depth > reportedDepth) reportedDepth = depth;
  }
  void currentMove(int, int, Move) override {}
  Result get() {
    std::lock_guard<std::mutex> lock(mutex);
    return result;
  }
};

// Positions reached by random legal play from two openings.
std::vector<std::string> randomPositions(int count, uint32_t seed) {
  std::vector<std::string> fens;
  std::mt19937 random(seed);
  Position pos;
  for (int game = 0; int(fens.size()) < count; game++) {
    setFen(pos, game % 2 ? InitialFen
                         : "r1bqkbnr/pppp1ppp/2n5/4p3/3PP3/5N2/PPP2PPP/RNBQKB1R b KQkq d3 0 3");
    for (int ply = 0; ply < 60 && int(fens.size()) < count; ply++) {
      Move list[MaxMoves];
      const int n = generateLegalMoves(pos, list);
      if (n == 0 || fiftyMoveDraw(pos) || materialDraw(pos)) break;
      if (ply % 7 == 4) fens.push_back(fenOf(pos));
      pos.lastMove = makeMove(pos, list[random() % n] & ~MoveCheckFlags);
    }
  }
  return fens;
}

struct ParallelTest : ::testing::Test {
  static void SetUpTestSuite() {
    initTables();
    if (!searchController.booted) searchController.boot();
  }
  static void TearDownTestSuite() { searchController.setThreads(1); }

  Recorder recorder;
  Position pos;

  void SetUp() override {
    searchController.listener = &recorder;
    searchController.quiet = true;
    searchController.maxDepth = 0;
    timeControl.reset();
    timeControl.setFixedTime(3600 * 1000);  // an hour: only depth, nodes and stops end searches
    tt.clear();
  }
  // Leaves the controller as after an ordinary one-thread search, which other suites in the same
  // process take for granted (their node totals count the threads of the last search).
  void TearDown() override {
    searchController.listener = nullptr;
    searchController.setThreads(1);
    setUp(InitialFen);
    run(1);
  }

  void setUp(const std::string& fen) { ASSERT_TRUE(setFen(pos, fen.c_str())) << fen; }

  // Starts an asynchronous search without a time limit (a ponder search when `levelMs` is short:
  // a ponder hit then ends it) on the position last handed to the controller.
  void startInfinite(uint32_t levelMs) {
    recorder.result = Result();
    timeControl.reset();
    timeControl.setFixedTime(levelMs);
    timeControl.infinite = 1;
    recorder.reportedDepth = 0;
    searchController.start(true);
  }
  void waitForDepth(int depth) {
    while (recorder.reportedDepth < depth) std::this_thread::yield();
  }

  // A synchronous search on the test's thread (the workers join it).
  Result run(int maxDepth, uint32_t nodeLimit = 0) {
    recorder.result = Result();
    searchController.setPosition(pos);
    searchController.maxDepth = maxDepth;
    timeControl.nodeLimit = nodeLimit;
    {
      HangGuard guard("a search", 300);
      searchController.start(false);
    }
    return recorder.get();
  }

  // Waits until every worker sleeps again (so its record may be read) and checks that each one
  // took its path moves back: its position is the root again.
  void expectWorkersBackAtRoot(int threads) {
    HangGuard guard("workers going back to sleep", 120);
    for (int i = 1; i < threads; i++) {
      SearchThread& w = searchController.thread(i);
      w.idle.wait();
      EXPECT_EQ(w.pos.hashKey, pos.hashKey) << "worker " << i << " at " << fenOf(pos);
      EXPECT_EQ(fenOf(w.pos), fenOf(pos)) << "worker " << i;
    }
  }

  // One search of the current position: a legal answer, one report, the position untouched.
  void expectSound(const Result& r, int threads, const char* what) {
    const std::string fen = fenOf(pos);
    EXPECT_EQ(r.calls, 1) << what << " " << fen;
    EXPECT_TRUE(isLegalMove(pos, r.move)) << what << " " << fen;
    EXPECT_EQ(fenOf(searchController.master().pos), fen) << what;
    EXPECT_EQ(searchController.master().pos.hashKey, pos.hashKey) << what << " " << fen;
    expectWorkersBackAtRoot(threads);
  }
};

TEST_F(ParallelTest, OneThreadNeverSplitsAndSearchesExactlyAsBefore) {
  const char* fens[] = {"r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
                        "r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 0 1"};
  for (const char* fen : fens) {
    setUp(fen);
    searchController.setThreads(1);
    tt.clear();
    const Result before = run(6);
    const uint32_t nodesBefore = searchController.totalNodes();
    EXPECT_EQ(searchController.summedCounters().splits, 0u);

    // A parallel search in between must leave nothing behind.
    searchController.setThreads(4);
    tt.clear();
    expectSound(run(6), 4, "four threads");
    EXPECT_GT(searchController.summedCounters().splits, 0u) << "four threads never split";

    searchController.setThreads(1);
    tt.clear();
    const Result after = run(6);
    EXPECT_EQ(searchController.summedCounters().splits, 0u);
    EXPECT_EQ(after.move, before.move) << fen;
    EXPECT_EQ(after.score, before.score) << fen;
    EXPECT_EQ(after.depth, 6);
    EXPECT_EQ(searchController.totalNodes(), nodesBefore) << fen;
  }
}

TEST_F(ParallelTest, SoundOverManyPositionsWithTwoToEightThreads) {
  std::vector<std::string> fens = gameFens(dataPath("master-games.pgn"), 4, 5, 1);
  ASSERT_GE(fens.size(), 20u);
  fens.resize(20);
  for (const std::string& fen : randomPositions(20, 20240611)) fens.push_back(fen);
  int searches = 0;
  for (int threads : {2, 3, 4, 8}) {
    searchController.setThreads(threads);
    ASSERT_EQ(searchController.threadCount, threads);
    for (size_t i = 0; i < fens.size(); i++) {
      setUp(fens[i]);
      // Alternately a clean and a filled table: splits meet table cuts and stale entries.
      if (i % 2 == 0) tt.clear();
      expectSound(run(0, 3000 + 500 * uint32_t(i % 5)), threads, "node limit");
      expectSound(run(3 + int(i % 3)), threads, "depth limit");
      searches += 2;
    }
  }
  EXPECT_GE(searches, 300);
}

TEST_F(ParallelTest, MatesKeepTheirExactScores) {
  for (int threads : {2, 4}) {
    searchController.setThreads(threads);
    for (const MateCase& c : mateCases) {
      setUp(c.fen);
      const Result r = run(0);
      EXPECT_EQ(r.score, c.score) << threads << " threads: " << c.fen;
      char text[MoveTextSize];
      if (*c.move) {
        EXPECT_STREQ(coordinateMove(text, r.move), c.move) << c.fen;
      }
      expectSound(r, threads, c.fen);
    }
  }
}

TEST_F(ParallelTest, StopEndsParallelSearches) {
  searchController.setThreads(4);
  setUp("r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 0 1");
  searchController.setPosition(pos);
  for (int round = 0; round < 6; round++) {
    {
      HangGuard guard("an infinite search reaching depth 4, then stop", 300);
      startInfinite(3600 * 1000);
      waitForDepth(4 + round % 3);
      searchController.stopAndWait();
    }
    const Result r = recorder.get();
    EXPECT_EQ(r.calls, 1);
    EXPECT_TRUE(isLegalMove(pos, r.move));
    expectWorkersBackAtRoot(4);
  }
}

// The interfaces may change the thread count while a search runs: the running search goes on
// with the threads it has (surplus ones finish their split points), the next one uses the new
// count.
TEST_F(ParallelTest, ThreadCountChangesDuringASearch) {
  setUp("r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 0 1");
  searchController.setPosition(pos);
  for (int round = 0; round < 4; round++) {
    searchController.setThreads(round % 2 ? 3 : 8);
    {
      HangGuard guard("an infinite search with thread-count changes, then stop", 300);
      startInfinite(3600 * 1000);
      waitForDepth(3);
      searchController.setThreads(2);
      waitForDepth(4);
      searchController.setThreads(round % 2 ? 8 : 1);
      waitForDepth(5);
      searchController.stopAndWait();
    }
    const Result r = recorder.get();
    EXPECT_EQ(r.calls, 1);
    EXPECT_TRUE(isLegalMove(pos, r.move));
  }
  searchController.setThreads(4);
  expectSound(run(5), 4, "after changes during a search");
}

TEST_F(ParallelTest, PonderHitEndsAParallelSearch) {
  searchController.setThreads(4);
  setUp("r1bqk2r/pppp1ppp/2n2n2/2b1p3/2B1P3/2N2N2/PPPP1PPP/R1BQK2R w KQkq - 0 1");
  searchController.setPosition(pos);
  // A ponder hit that leaves no time: the search ends by itself.
  for (int round = 0; round < 4; round++) {
    {
      HangGuard guard("a ponder search ended by its ponder hit", 300);
      startInfinite(1);
      waitForDepth(3 + round % 3);
      searchController.ponderHit();
      searchController.master().idle.wait();
    }
    const Result r = recorder.get();
    EXPECT_EQ(r.calls, 1);
    EXPECT_TRUE(isLegalMove(pos, r.move));
    expectWorkersBackAtRoot(4);
  }
}

TEST_F(ParallelTest, ThreadCountChangesBetweenSearches) {
  setUp("rnbqkb1r/pp1p1ppp/4pn2/2p5/2PP4/2N5/PP2PPPP/R1B1KBNR w KQkq - 0 4");
  searchController.setThreads(1);
  const Result first = run(6);
  const uint32_t firstNodes = searchController.totalNodes();
  for (int threads : {8, 2}) {
    searchController.setThreads(threads);
    tt.clear();
    const Result r = run(6);
    expectSound(r, threads, "after a thread-count change");
    EXPECT_EQ(r.depth, 6);
  }
  searchController.setThreads(1);
  tt.clear();
  const Result last = run(6);
  EXPECT_EQ(last.move, first.move);
  EXPECT_EQ(last.score, first.score);
  EXPECT_EQ(searchController.totalNodes(), firstNodes);
}

// Waits until the search thread and every worker sleep: only then may the log file change,
// since they log as they go to sleep.
void waitForSleepingThreads() {
  HangGuard guard("threads going to sleep", 120);
  for (int i = 0; i < MaxThreads; i++)
    if (searchController.thread(i).thread.started()) searchController.thread(i).idle.wait();
}

TEST_F(ParallelTest, ThreadRequestsAreClampedWithTheirLogLines) {
  waitForSleepingThreads();
  FILE* saved = logFile;
  FILE* capture = std::tmpfile();
  logFile = capture;
  searchController.setThreads(12);
  const int many = searchController.threadCount;
  searchController.setThreads(0);
  const int none = searchController.threadCount;
  searchController.setThreads(-3);
  const int negative = searchController.threadCount;
  waitForSleepingThreads();
  logFile = saved;
  std::rewind(capture);
  std::string log;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, capture)) log += buffer;
  std::fclose(capture);

  EXPECT_EQ(many, 8);
  EXPECT_EQ(none, 1);
  EXPECT_EQ(negative, 1);
  // Asking for 12 makes sure all seven workers exist (some may be left from earlier tests).
  EXPECT_NE(log.find(" new worker threads\n"), std::string::npos) << log;
  for (int i = 1; i < 8; i++) EXPECT_TRUE(searchController.thread(i).thread.started()) << i;
  // Asking for none starts nothing and sends all seven to sleep.
  EXPECT_NE(log.find("started 0 new worker threads\nput 7 threads to sleep\n"), std::string::npos)
      << log;
}

// Three nested split points U (ply 2) > S (ply 4) > T (ply 6). A cut-off at S must stop the
// threads working at S and T, and nobody working above S; each stopped thread keeps the
// shallowest abort ply it was given and counts a kill.
TEST_F(ParallelTest, CutOffAtASplitPointStopsOnlyTheThreadsBelowIt) {
  searchController.setThreads(8);
  waitForSleepingThreads();  // all records belong to sleeping workers now
  std::unique_ptr<SplitPoint> u(new SplitPoint), s(new SplitPoint), t(new SplitPoint);
  u->ply = 2;
  s->ply = 4;
  t->ply = 6;
  u->parent = nullptr;
  s->parent = u.get();
  t->parent = s.get();
  for (SplitPoint* sp : {u.get(), s.get(), t.get()}) {
    sp->beta = 100;
    sp->alpha = 0;
    sp->bestScore = -Infinity;
    sp->bestMove = 0;
    sp->count = 10;
  }
  SearchThread& above = searchController.thread(1);     // owner of U, working at U
  SearchThread& cutter = searchController.thread(2);    // finds the cut-off at S
  SearchThread& helperS = searchController.thread(3);   // helps at S, waiting as available
  SearchThread& helperT = searchController.thread(4);   // helps at T, already aborted at ply 3
  SearchThread& helperT2 = searchController.thread(5);  // helps at T, aborted deeper before
  SearchThread& idle = searchController.thread(6);      // no split point at all
  SearchThread* all[] = {&above, &cutter, &helperS, &helperT, &helperT2, &idle};
  for (SearchThread* x : all) {
    x->stop = 0;
    x->abortPly = 0;
    x->available = 0;
    x->counters = SearchCounters();
  }
  above.currentSplit = u.get();
  cutter.currentSplit = s.get();
  helperS.currentSplit = s.get();
  helperS.available = 1;
  helperT.currentSplit = t.get();
  helperT.abortPly = 3;
  helperT2.currentSplit = t.get();
  helperT2.abortPly = 7;
  const Move cutMove = 0x1234;

  abortSplit(cutter, *s, cutMove, 250);

  EXPECT_EQ(s->next.load(), SplitPoint::Closed);
  EXPECT_EQ(s->bestScore.load(), 250);
  EXPECT_EQ(s->bestMove.load(), cutMove);
  EXPECT_EQ(s->alpha.load(), 250);
  EXPECT_EQ(cutter.counters.splitCuts, 1u);
  EXPECT_EQ(uint32_t(cutter.stop), 0u);
  EXPECT_EQ(uint32_t(above.stop), 0u);
  EXPECT_EQ(above.abortPly, 0);
  EXPECT_EQ(above.counters.kills, 0u);
  EXPECT_EQ(uint32_t(idle.stop), 0u);
  EXPECT_EQ(uint32_t(helperS.stop), 1u);
  EXPECT_EQ(helperS.abortPly, 4);
  EXPECT_EQ(uint32_t(helperS.available), 0u);
  EXPECT_EQ(uint32_t(helperT.stop), 1u);
  EXPECT_EQ(helperT.abortPly, 3);  // an abort further up stays in force
  EXPECT_EQ(uint32_t(helperT2.stop), 1u);
  EXPECT_EQ(helperT2.abortPly, 4);
  for (SearchThread* x : {&helperS, &helperT, &helperT2}) EXPECT_EQ(x->counters.kills, 1u);
  EXPECT_EQ(u->bestScore.load(), -Infinity);  // nothing happened above S

  // A thread that is stopped itself when it cuts off stops nobody else.
  helperS.stop = 0;
  helperS.counters.kills = 0;
  cutter.stop = 1;
  abortSplit(cutter, *t, cutMove, 300);
  EXPECT_EQ(uint32_t(helperS.stop), 0u);
  EXPECT_EQ(helperT.counters.kills, 1u);

  for (SearchThread* x : all) {
    x->currentSplit = nullptr;
    x->abortPly = 0;
    x->available = 0;
    x->stop = 1;  // as after any search; the next search start clears it
  }
}

}  // namespace
