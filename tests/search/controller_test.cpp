// The search controller's thread hand-over: asynchronous start, stop and wait, ponder hit.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "base/platform.h"
#include "search/search_controller.h"

namespace {

class Counting : public SearchListener {
 public:
  std::atomic<int> finishedCalls{0};
  std::thread::id finishedOn;
  int depth = -1;
  void finished(int d, int, Move) override {
    depth = d;
    finishedOn = std::this_thread::get_id();
    finishedCalls++;
  }
  void iterationReport(int, int, Move) override {}
  void currentMove(int, int, Move) override {}
};

struct ControllerTest : ::testing::Test {
  static void SetUpTestSuite() {
    initTables();
    searchController.boot();
  }
  Counting listener;
  Position pos;
  void SetUp() override {
    searchController.listener = &listener;
    searchController.quiet = true;
    timeControl.reset();
    timeControl.setFixedTime(3600 * 1000);
    ASSERT_TRUE(setFen(pos, "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4"));
    searchController.setPosition(pos);
  }
  void TearDown() override { searchController.listener = nullptr; }
};

TEST_F(ControllerTest, SynchronousStartReportsOnTheCallersThread) {
  searchController.maxDepth = 3;
  searchController.start(false);
  EXPECT_EQ(listener.finishedCalls, 1);
  EXPECT_EQ(listener.finishedOn, std::this_thread::get_id());
  EXPECT_EQ(listener.depth, 3);
}

TEST_F(ControllerTest, StopAndWaitEndsAnInfiniteSearchOnTheSearchThread) {
  searchController.maxDepth = 0;
  timeControl.infinite = 1;
  searchController.start(true);
  // Let it search a little (the search itself is bounded by nothing but the stop).
  while (searchController.depth() < 2) std::this_thread::yield();
  searchController.stopAndWait();
  EXPECT_EQ(listener.finishedCalls, 1);
  EXPECT_NE(listener.finishedOn, std::this_thread::get_id());
  EXPECT_NE(searchController.bestMove(), 0u);
  // Nothing runs now: a second stop returns at once.
  searchController.stopAndWait();
  EXPECT_EQ(listener.finishedCalls, 1);
}

TEST_F(ControllerTest, AsyncStartsQueueBehindARunningSearch) {
  searchController.maxDepth = 2;
  searchController.start(true);
  searchController.start(true);  // waits until the first search is idle again
  searchController.stopAndWait();
  EXPECT_EQ(listener.finishedCalls, 2);
}

TEST_F(ControllerTest, PonderHitWithASingleMoveStopsTheSearch) {
  ASSERT_TRUE(setFen(pos, "k7/8/6K1/8/8/8/8/1R6 b - - 0 1"));
  searchController.setPosition(pos);
  searchController.maxDepth = 0;
  timeControl.infinite = 1;
  searchController.start(true);
  while (searchController.depth() < 3) std::this_thread::yield();
  EXPECT_TRUE(searchController.ponderHit());  // stopped, not waited for
  searchController.waitUntilIdle();
  EXPECT_EQ(listener.finishedCalls, 1);
}

TEST_F(ControllerTest, MaxDepthZeroMeansUnlimited) {
  searchController.maxDepth = 0;
  timeControl.nodeLimit = 20000;
  searchController.start(false);
  timeControl.nodeLimit = 0;
  EXPECT_EQ(searchController.maxDepth, 120);
  EXPECT_EQ(listener.finishedCalls, 1);
}

}  // namespace

namespace {

TEST_F(ControllerTest, AStopRightAfterAnAsyncStartIsNotLost) {
  searchController.maxDepth = 0;
  timeControl.infinite = 1;
  for (int i = 0; i < 20; i++) {
    searchController.start(true);
    searchController.stopAndWait();  // would wait forever if the wake-up cleared the stop
  }
  EXPECT_EQ(listener.finishedCalls, 20);
  EXPECT_NE(searchController.bestMove(), 0u);
}

}  // namespace
