#include "search/search_controller.h"

#include <algorithm>

#include "base/log.h"
#include "search/bitbase.h"
#include "search/parallel.h"
#include "search/think.h"

SearchController::SearchController(uint32_t tableMegabytes)
    : table_(uint64_t(tableMegabytes) * 1024) {
  for (int i = 0; i < MaxThreads; i++) {
    threads[i].controller = this;
    threads[i].index = i;
  }
}

// Every thread leaves at its next wake-up. The flag changes under the lock the workers take
// before they go to sleep, so a worker either sees it there or is already asleep when the wake
// comes; the search thread is asleep once the search has wound down.
SearchController::~SearchController() {
  if (!booted) return;
  stop();
  waitUntilIdle();
  {
    std::lock_guard<std::mutex> guard(parallel.control);
    shuttingDown = true;
  }
  for (SearchThread& t : threads)
    if (t.thread.started()) t.wake.set();
  for (SearchThread& t : threads) t.thread.join();
}

void SearchController::setPosition(const Position& pos) { copyPosition(master().pos, pos); }

void SearchController::boot() {
  if (booted) {
    logWarning("already booted!\n");
    return;
  }
  booted = true;
  logInfo("starting main search thread...\n");
  if (master().thread.started()) {
    std::fputs("thread already initialized!\n", stderr);
  } else {
    master().thread.start([this] { searchThreadLoop(); }, true);
    master().idle.wait();  // asleep and ready: no request may find it still starting
  }
  setThreads(threadCount);
}

void SearchController::setThreads(int n) {
  if (booted) {
    threadCount = startWorkers(*this, n);
    return;
  }
  if (n > MaxThreads) n = MaxThreads;
  if (n < 1) n = 1;
  threadCount = n;
}

void SearchController::searchThreadLoop() {
  SearchThread& t = master();
  for (;;) {
    logDebug("searchthread: sleep()\n");
    t.wake.reset();
    t.idle.set();
    t.wake.wait();
    if (shuttingDown) return;
    logDebug("searchthread: awoke()\n");
    think(*this);
  }
}

void SearchController::start(bool async) {
  timeUp = false;
  stopRequested = false;
  answered = false;
  master().stop = 0;
  if (!async || !booted) {
    think(*this);
    return;
  }
  master().idle.wait();
  master().idle.reset();
  master().wake.set();
}

void SearchController::stopAll() {
  timeUp = true;
  workersStop = true;
  for (SearchThread& t : threads) {
    std::lock_guard<SpinLockBackoff> guard(t.lock);
    t.stop = 1;
  }
}

void SearchController::release() {
  // Taking the lock orders this wake-up after the waiter's last look at the flags.
  { std::lock_guard<std::mutex> guard(releaseLock_); }
  released_.notify_all();
}

void SearchController::waitForRelease() {
  std::unique_lock<std::mutex> guard(releaseLock_);
  released_.wait(guard, [this] { return stopRequested || !timeControl_.infinite; });
}

void SearchController::start(const Position& pos, const SearchLimits& limits, bool async) {
  waitUntilIdle();
  setPosition(pos);
  // A weaker level searches less deep and less long, and finds more lines to choose from.
  SearchLimits capped = limits;
  strength = strengthLevel(limits.strengthElo > 0 ? limits.strengthElo : FullStrengthElo);
  if (!strength.full()) {
    capped.depth = capped.depth > 0 ? std::min(capped.depth, strength.depth) : strength.depth;
    capped.nodes = capped.nodes > 0 ? std::min(capped.nodes, strength.nodes) : strength.nodes;
    capped.lines = std::max(capped.lines, strength.lines);
  }
  maxDepth = capped.depth;
  timeControl_.apply(capped);
  searchMoves = limits.searchMoves;
  lines = std::clamp(capped.lines, 1, MaxLines);
  mateMoves = std::max(limits.mateMoves, 0);
  holdUntilStopped = limits.holdUntilStopped;
  start(async);
}

void SearchController::stop() {
  stopRequested = true;
  stopAll();
  release();
}

void SearchController::stopAndWait() {
  stop();
  waitUntilIdle();
}

void SearchController::waitUntilIdle() {
  if (booted) master().idle.wait();
}

// The search turns from pondering to thinking on the clock; released, it may answer. A single
// legal move searched a few plies is answered at once.
bool SearchController::ponderHit(int timeLeftMs) {
  if (timeLeftMs >= 0) timeControl_.ponderHitAdjust(timeLeftMs);
  timeControl_.ponderHit();
  release();
  if (rootCount == 1 && iterationDepth > 2) {
    logInfo("ponderhit & single move!\n");
    stopAll();
    return true;
  }
  if (timeControl_.iterationTimeout()) stopAll();
  return false;
}

uint32_t SearchController::nominalTimeMs() const { return timeControl_.levelMs[LevelNormal]; }

void SearchController::searchStart() {
  if (maxDepth < 1) maxDepth = 120;
  timeControl_.startClock();
  iterationDepth = 0;
  scoreBound = BoundExact;
  master().reset();
  rootMaterial_ = wdlMaterial(master().pos);
  searchThreads = booted ? int(parallel.activeThreads) : 1;
  thresholds.splitDepth = searchThreads > 1 ? 1 : 128;
  thresholds.bitbaseProbeLimit = useBitbases ? bitbases.probeLimit() : -1;
  thresholds.bitbaseFreeLimit = useBitbases ? bitbases.unconditionalLimit() : -1;
  thresholds.syzygyMen = useSyzygy ? std::min(syzygy.largestMen(), syzygyOptions.probeLimit) : 0;
  thresholds.syzygyDepth = syzygyOptions.probeDepth;
  thresholds.syzygyRule50 = syzygyOptions.rule50;
  rootTables = RootTableResult();
  for (Move& m : rootPv.moves) m = 0;
  table_.newSearch();
  if (searchThreads > 1) prepareSearch(*this);
}

void SearchController::newGame() {
  table_.clear();
  for (SearchThread& t : threads) t.forgetGame();
}

uint64_t SearchController::totalNodes() const {
  uint64_t total = 0;
  for (int i = 0; i < searchThreads; i++) total += threads[i].counters.total();
  return total;
}

SearchInfo SearchController::info(int line, int lineScore, uint8_t bound, const PvLine& pv) const {
  SearchInfo info;
  info.depth = iterationDepth;
  info.selDepth = selDepth();
  info.line = lineCount > 1 ? line : 0;
  // A root the tables decide shows the tables' score (unless the search has proven a mate),
  // which is exact whatever window the search used.
  info.score = reportedScore(lineScore);
  info.bound = info.score == lineScore ? bound : BoundExact;
  info.nodes = totalNodes();
  info.timeMs = timeControl_.elapsed();
  info.nps = info.timeMs > 0 ? info.nodes * 1000 / info.timeMs : 0;
  info.hashFull = table_.fillPerMille();
  info.wdl = winDrawLoss(info.score, rootMaterial_);
  info.tableHits = tableHits();
  info.tablesInUse = thresholds.bitbaseProbeLimit >= 0 || syzygy.available();
  info.pv = pv;
  return info;
}

SearchResult SearchController::result() {
  SearchResult result;
  result.info = info(1, score, scoreBound, rootPv);
  result.best = bestMove();
  result.ponder = ponderMove();
  if (strength.full() || lineCount < 2) return result;
  int scores[MaxLines];
  for (int i = 0; i < lineCount; i++) scores[i] = rootMoves[i].score;
  const int chosen =
      chooseLine(std::span<const int>(scores, size_t(lineCount)), strength, strengthChoices);
  if (chosen <= 0) return result;
  result.info = info(chosen + 1, scores[chosen], BoundExact, linePv[chosen]);
  result.best = rootMoves[chosen].move;
  result.ponder = linePv[chosen][0] == result.best ? linePv[chosen][1] : 0;
  return result;
}

SearchCounters SearchController::summedCounters() const {
  SearchCounters sum;
  for (int i = 0; i < searchThreads; i++) {
    const SearchCounters& c = threads[i].counters;
    sum.interior += c.interior;
    sum.frontier += c.frontier;
    sum.quiescence += c.quiescence;
    sum.pruned += c.pruned;
    sum.pvNodes += c.pvNodes;
    sum.cutNodes += c.cutNodes;
    sum.allNodes += c.allNodes;
    sum.endNodes += c.endNodes;
    sum.nullNodes += c.nullNodes;
    sum.nullCuts += c.nullCuts;
    sum.nullTries += c.nullTries;
    sum.iidNodes += c.iidNodes;
    sum.firstMoveCuts += c.firstMoveCuts;
    sum.pvChanges += c.pvChanges;
    sum.reduceTries += c.reduceTries;
    sum.reduceFails += c.reduceFails;
    sum.killerCuts += c.killerCuts;
    sum.splits += c.splits;
    sum.splitFails += c.splitFails;
    sum.splitCuts += c.splitCuts;
    sum.kills += c.kills;
    sum.splitNodes += c.splitNodes;
    sum.tableHits += c.tableHits;
    sum.tt.probes += c.tt.probes;
    sum.tt.hits += c.tt.hits;
    sum.tt.cuts += c.tt.cuts;
    sum.tt.updates += c.tt.updates;
    sum.tt.newStores += c.tt.newStores;
    sum.tt.overwrites += c.tt.overwrites;
  }
  return sum;
}

uint64_t SearchController::tableHits() const {
  uint64_t hits = 0;
  for (int i = 0; i < searchThreads; i++) hits += threads[i].counters.tableHits;
  return hits;
}

int SearchController::reportedScore(int searchScore) const {
  if (!rootTables.inTables || searchScore > MateBound || searchScore < -MateBound)
    return searchScore;
  return rootTables.score;
}
