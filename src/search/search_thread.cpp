#include "search/search_thread.h"

SearchThread::SearchThread() {
  reset();
  forgetGame();
}

void SearchThread::forgetGame() {
  history.clear();
  correction.clear();
}

// The stop flag is cleared by whoever hands out the work (start), not here: a stop that
// arrives between start and the search thread's wake-up must not be lost.
void SearchThread::reset() {
  selDepth = 0;
  counters = SearchCounters();
  for (auto& k : killers) k[0] = k[1] = 0;
  for (Move& m : mateKiller) m = 0;
  for (Move& m : captureKiller) m = 0;
  pv[0].clear();
  currentSplit.store(nullptr, std::memory_order_relaxed);
  abortPly = 0;
  available = 0;
  splitCount = 0;
  publishedNodes = 0;
  waitMicros = 0;
  adminMicros = 0;
}
