#pragma once
// Search helpers of the test kit (for the test programs of the search layer and above): a
// listener that records what a search reports, and a known state to search from. A search that
// hangs is turned into a failure by ctest's time-out.
#include <atomic>
#include <mutex>
#include <thread>

#include "search/search_controller.h"

struct RecordedResult {
  int depth = -1;
  int score = 0;
  Move move = 0;
  int calls = 0;  // finished() calls: one per search
};

// Records the end of every search and the deepest iteration reported; the search thread may
// report while the test's thread reads.
class SearchRecorder : public SearchListener {
 public:
  void finished(const SearchResult& result) override {
    std::lock_guard<std::mutex> lock(mutex_);
    result_.depth = result.info.depth;
    result_.score = result.info.score;
    result_.move = result.best;
    result_.calls++;
  }
  void searchInfo(const SearchInfo& info) override {
    if (info.depth > reportedDepth) reportedDepth = info.depth;
    if (info.score > highestScore) highestScore = info.score;
  }

  RecordedResult result() {
    std::lock_guard<std::mutex> lock(mutex_);
    return result_;
  }
  void clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    result_ = RecordedResult();
    reportedDepth = 0;
    highestScore = -Infinity;
  }
  // Spins until the running search has reported an iteration of at least `depth`.
  void waitForDepth(int depth) {
    while (reportedDepth < depth) std::this_thread::yield();
  }

  std::atomic<int> reportedDepth{0};
  std::atomic<int> highestScore{-Infinity};  // of every line reported

 private:
  std::mutex mutex_;
  RecordedResult result_;
};

// Puts a search controller into a known state for a test that searches on the caller's
// thread: one thread, no bitbases or Syzygy tables, no log lines, no depth limit, an hour per
// search (so that only depth, nodes and stops end searches), a clean table, and `listener` to
// report to.
inline void prepareSearch(SearchController& search, SearchListener* listener) {
  initTables();
  search.setThreads(1);
  search.listener = listener;
  search.quiet = true;
  search.useBitbases = false;
  search.useSyzygy = false;
  search.maxDepth = 0;
  TimeControl& times = search.times();
  times.reset();
  times.setFixedTime(3600 * 1000);
  search.newGame();
}
