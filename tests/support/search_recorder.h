#pragma once
// Search helpers of the test kit (for the test programs of the search layer and above): a
// listener that records what a search reports, and a known state to search from. A search that
// hangs is turned into a failure by ctest's time-out.
#include <atomic>
#include <mutex>
#include <thread>

#include "search/search_controller.h"

struct SearchResult {
  int depth = -1;
  int score = 0;
  Move move = 0;
  int calls = 0;  // finished() calls: one per search
};

// Records the end of every search and the deepest iteration reported; the search thread may
// report while the test's thread reads.
class SearchRecorder : public SearchListener {
 public:
  void finished(int depth, int score, Move bestMove) override {
    std::lock_guard<std::mutex> lock(mutex_);
    result_.depth = depth;
    result_.score = score;
    result_.move = bestMove;
    result_.calls++;
  }
  void iterationReport(int depth, int, Move) override {
    if (depth > reportedDepth) reportedDepth = depth;
  }
  void currentMove(int, int, Move) override {}

  SearchResult result() {
    std::lock_guard<std::mutex> lock(mutex_);
    return result_;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    result_ = SearchResult();
    reportedDepth = 0;
  }
  // Spins until the running search has reported an iteration of at least `depth`.
  void waitForDepth(int depth) {
    while (reportedDepth < depth) std::this_thread::yield();
  }

  std::atomic<int> reportedDepth{0};

 private:
  std::mutex mutex_;
  SearchResult result_;
};

// Puts the program-wide search into a known state for a test that searches on the caller's
// thread: one thread, no bitbases or Syzygy tables, no log lines, no depth limit, an hour per
// search (so that only depth, nodes and stops end searches), a clean table, and `listener` to
// report to.
inline void prepareSearch(SearchListener* listener) {
  initTables();
  searchController.setThreads(1);
  searchController.listener = listener;
  searchController.quiet = true;
  searchController.useBitbases = false;
  searchController.useSyzygy = false;
  searchController.maxDepth = 0;
  TimeControl& times = searchController.times();
  times.reset();
  times.setFixedTime(3600 * 1000);
  searchController.table().clear();
}
