#include "search/parallel.h"

#include <chrono>
#include <cstdio>
#include <mutex>

#include "base/log.h"
#include "board/makemove.h"
#include "eval/pawn_hash.h"
#include "search/search_controller.h"

namespace {

constexpr uint32_t WorkerPawnEntries = 65536;
constexpr int MaxParentSteps = 63;

// The controller's parallel state and threads, as a searching thread reaches them.
ParallelState& parallelOf(const SearchThread& t) { return t.controller->parallel; }
SearchThread& threadAt(const SearchThread& t, int i) { return t.controller->thread(i); }

// Whether split point s is sp or lies below it (sp is among its ancestors).
bool isWithin(const SplitPoint* s, const SplitPoint* sp) {
  for (int steps = 0; s && steps <= MaxParentSteps; steps++, s = s->parent)
    if (s == sp) return true;
  return false;
}

void addMicros(Relaxed<uint64_t>& total, uint64_t since) { total = total + (microTicks() - since); }

// Resizes a thread's pawn hash if it differs from what it should have.
void applyPawnEntries(SearchThread& t) {
  const uint32_t wanted = t.wantedPawnEntries;
  if (t.eval.pawnHash().size() != wanted) resizePawnHash(t.eval.pawnHash(), wanted);
}

// Leaves split point sp for `returnTo`: the assignment changes under the global lock, then the
// worker count drops (release: this thread's results at sp are seen by whoever waits for it).
void leaveSplit(SearchThread& t, SplitPoint& sp, SplitPoint* returnTo) {
  {
    std::lock_guard<SpinLockBackoff> guard(parallelOf(t).lock);
    t.currentSplit.store(returnTo, std::memory_order_relaxed);
  }
  sp.workers.fetch_sub(1, std::memory_order_release);
}

// Sets the thread's stop state from the split points it works under: stopped at the shallowest
// one that already has a cut-off, else only if the whole search is stopping. Under the thread's
// lock, so that a stop of the whole search (set under the same lock) is never lost.
void recomputeStop(SearchThread& t) {
  std::lock_guard<SpinLockBackoff> guard(t.lock);
  int abortPly = 0;
  int steps = 0;
  for (SplitPoint* s = t.currentSplit.load(std::memory_order_relaxed); s && steps <= MaxParentSteps;
       s = s->parent, steps++)
    if (s->bestScore.load(std::memory_order_relaxed) >= s->beta) abortPly = s->ply;
  t.abortPly = abortPly;
  t.stop = abortPly ? 1u : uint32_t(t.controller->workersStop);
}

// The moves a thread played to reach a split point, to take them back afterwards.
struct PathUndo {
  Move moves[PvRows];
  UndoInfo undo[PvRows];
  int count = 0;
};

void takeBackPath(Position& pos, PathUndo& undo) {
  while (undo.count > 0) {
    undo.count--;
    const Move m = undo.moves[undo.count];
    if (m == 0)
      unmakeNullMove(pos, undo.undo[undo.count]);
    else
      unmakeMove(pos, m, undo.undo[undo.count]);
  }
}

// Plays path[from, to) on the thread's position (0 is a null move); false, with nothing left
// played, if a move is refused.
bool playPath(Position& pos, const Move* path, int from, int to, PathUndo& undo) {
  undo.count = 0;
  for (int i = from; i < to; i++) {
    const Move m = path[i] & ~MoveCheckFlags;
    undo.undo[undo.count] = saveUndo(pos);
    if (m == 0) {
      makeNullMove(pos);
    } else if (!makeMove(pos, m)) {
      takeBackPath(pos, undo);
      return false;
    }
    undo.moves[undo.count++] = m;
  }
  return true;
}

// A thread given split point sp that stands at `fromPly` of sp's path: waits for the path,
// plays it, waits for the moves and searches them. The caller leaves sp afterwards; the path is
// taken back by the caller through `undo`.
bool joinSplitPoint(SearchThread& t, SplitPoint& sp, int fromPly, PathUndo& undo) {
  const uint64_t start = microTicks();
  spinUntil([&] { return sp.state.load(std::memory_order_acquire) >= SplitPathWritten; });
  const bool played = playPath(t.pos, sp.path, fromPly, sp.ply, undo);
  spinUntil([&] { return sp.state.load(std::memory_order_acquire) >= SplitReady; });
  addMicros(t.adminMicros, start);
  if (!played || t.pos.hashKey != sp.key) {
    logError("thread %i: split point path does not lead to its node\n", t.index);
    if (played) takeBackPath(t.pos, undo);
    undo.count = 0;
    return false;
  }
  searchSplitPoint(t, sp);
  return true;
}

// Worker thread body: sleep until a search starts, then take split points until it ends.
void workerLoop(SearchThread& t) {
  ParallelState& par = parallelOf(t);
  for (;;) {
    {
      std::lock_guard<std::mutex> guard(par.control);
      if (t.controller->shuttingDown) return;
      applyPawnEntries(t);
      logDebug("thread %i: sleep()\n", t.index);
      t.wake.reset();
      t.idle.set();
    }
    t.wake.wait();
    if (t.controller->shuttingDown) return;
    logDebug("thread %i: awoke()\n", t.index);
    // prepareSearch has copied the root into our position and reset our record.
    for (;;) {
      bool leave;
      {
        std::lock_guard<SpinLockBackoff> guard(t.lock);
        t.stop = 0;
        t.abortPly = 0;
        leave = t.controller->workersStop;
      }
      if (leave) break;
      {
        std::lock_guard<SpinLockBackoff> guard(par.lock);
        t.currentSplit.store(nullptr, std::memory_order_relaxed);
        t.available = 1;
        par.idleCount = par.idleCount + 1;
      }
      const uint64_t waitStart = microTicks();
      spinUntil([&] {
        return t.currentSplit.load(std::memory_order_acquire) || t.stop ||
               t.controller->workersStop;
      });
      addMicros(t.waitMicros, waitStart);
      SplitPoint* sp;
      {
        std::lock_guard<SpinLockBackoff> guard(par.lock);
        sp = t.currentSplit.load(std::memory_order_acquire);
        if (t.available) {  // stopped while idle: withdraw the offer
          t.available = 0;
          par.idleCount = par.idleCount - 1;
        }
      }
      if (!sp) continue;
      if (t.stop || t.controller->workersStop) {
        leaveSplit(t, *sp, nullptr);
        continue;
      }
      PathUndo undo;
      const bool searched = joinSplitPoint(t, *sp, 0, undo);
      const uint64_t leaveStart = microTicks();
      leaveSplit(t, *sp, nullptr);
      if (searched) takeBackPath(t.pos, undo);
      addMicros(t.adminMicros, leaveStart);
    }
  }
}

// The owner's wait: while helpers still work at its split point, it offers itself to split
// points inside its own subtree (trySplit only assigns it such ones).
void helpWhileWaiting(SearchThread& t, SplitPoint& own) {
  ParallelState& par = parallelOf(t);
  while (!t.stop) {
    if (own.workers.load(std::memory_order_acquire) < 2) return;
    {
      std::lock_guard<SpinLockBackoff> guard(par.lock);
      t.available = 1;
      par.idleCount = par.idleCount + 1;
    }
    const uint64_t waitStart = microTicks();
    spinUntil([&] {
      return t.currentSplit.load(std::memory_order_acquire) != &own ||
             own.workers.load(std::memory_order_relaxed) <= 1 || t.stop;
    });
    addMicros(t.waitMicros, waitStart);
    SplitPoint* given;
    {
      std::lock_guard<SpinLockBackoff> guard(par.lock);
      if (t.available) {
        t.available = 0;
        par.idleCount = par.idleCount - 1;
      }
      given = t.currentSplit.load(std::memory_order_acquire);
    }
    if (given == &own) return;  // stopped, or the helpers are done
    if (t.stop || own.workers.load(std::memory_order_acquire) <= 1) {
      // Work came too late: hand it back and return to our own node.
      leaveSplit(t, *given, &own);
      recomputeStop(t);
      if (t.stop) return;
      continue;
    }
    PathUndo undo;
    const bool searched = joinSplitPoint(t, *given, own.ply, undo);
    const uint64_t leaveStart = microTicks();
    leaveSplit(t, *given, &own);
    if (searched) takeBackPath(t.pos, undo);
    addMicros(t.adminMicros, leaveStart);
    // A cut-off below our node stopped us only for that split point.
    recomputeStop(t);
  }
}

}  // namespace

uint64_t microTicks() {
  using namespace std::chrono;
  return uint64_t(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

int startWorkers(SearchController& c, int n) {
  ParallelState& par = c.parallel;
  std::lock_guard<std::mutex> guard(par.control);
  if (n > MaxThreads) n = MaxThreads;
  if (n <= 1) {
    logInfo("started %i new worker threads\n", 0);
    n = 1;
  } else {
    int created = 0;
    for (int i = 1; i < n; i++) {
      SearchThread& w = c.thread(i);
      w.wantedPawnEntries = WorkerPawnEntries;
      if (!w.thread.started() || w.idle.isSet()) applyPawnEntries(w);
      if (!w.thread.started()) {
        w.index = i;
        logInfo("starting worker%i...\n", i);
        w.thread.start([&w] { workerLoop(w); }, true);
        created++;
      }
    }
    logInfo("started %i new worker threads\n", created);
  }
  // Surplus workers finish the search they may be part of and then sleep; their pawn hashes
  // shrink now if they are asleep, else before they sleep again.
  int sleeping = 0;
  for (int i = n; i < MaxThreads; i++) {
    SearchThread& w = c.thread(i);
    if (!w.thread.started()) w.index = i;
    w.wantedPawnEntries = 1;
    if (!w.thread.started() || w.idle.isSet()) applyPawnEntries(w);
    if (w.thread.started()) sleeping++;
  }
  if (sleeping) logInfo("put %i threads to sleep\n", sleeping);
  par.activeThreads = n;
  return n;
}

void prepareSearch(SearchController& c) {
  ParallelState& par = c.parallel;
  // Every worker that exists must be asleep before the root changes: one that has not yet seen
  // the end of the last search would otherwise join this one on the old root.
  for (int i = 1; i < MaxThreads; i++)
    if (c.thread(i).thread.started()) c.thread(i).idle.wait();
  copyPosition(par.rootCopy, c.master().pos);
  par.rootPly = par.rootCopy.ply;
  par.idleCount = 0;
  std::lock_guard<std::mutex> guard(par.control);
  const int n = par.activeThreads;
  for (int i = 0; i < MaxThreads; i++) {
    SearchThread& t = c.thread(i);
    t.splits = par.splitPoints[i];
    for (SplitPoint& sp : par.splitPoints[i]) sp.owner = &t;
    t.publishedNodes = 0;  // a thread count raised during the search may count it
    if (i == 0 || i >= n) continue;
    copyPosition(t.pos, par.rootCopy);
    t.reset();
  }
  c.workersStop = false;
  for (int i = 1; i < n; i++) {
    SearchThread& w = c.thread(i);
    if (!w.thread.started()) continue;
    w.idle.reset();
    w.wake.set();
  }
}

bool trySplit(SearchThread& t, SplitPoint& sp) {
  ParallelState& par = parallelOf(t);
  if (par.idleCount == 0 || !par.lock.try_lock()) return false;
  std::lock_guard<SpinLockBackoff> guard(par.lock, std::adopt_lock);
  if (t.stop) return false;
  SplitPoint* mine = t.currentSplit.load(std::memory_order_relaxed);
  sp.parent = mine;
  sp.state.store(SplitSettingUp, std::memory_order_relaxed);
  sp.workers.store(1, std::memory_order_relaxed);
  t.counters.splits++;
  const int n = par.activeThreads;
  int taken = 0;
  for (int i = 0; i < n; i++) {
    SearchThread& other = threadAt(t, i);
    if (&other == &t || other.stop || !other.available) continue;
    SplitPoint* waitingAt = other.currentSplit.load(std::memory_order_relaxed);
    if (waitingAt) {
      // An owner waiting for its helpers: not when it is about to take its node back, and
      // (with more than two threads) only for work inside its own subtree.
      if (waitingAt->workers.load(std::memory_order_relaxed) < 2) continue;
      if (n > 2 && !isWithin(mine, waitingAt)) continue;
    }
    other.available = 0;
    // Release: the helper that sees its assignment also sees SplitSettingUp and the reset above.
    other.currentSplit.store(&sp, std::memory_order_release);
    taken++;
  }
  if (!taken) {
    t.counters.splitFails++;
    return false;
  }
  par.idleCount = par.idleCount - taken;
  t.currentSplit.store(&sp, std::memory_order_relaxed);
  sp.workers.store(taken + 1, std::memory_order_relaxed);
  return true;
}

void runSplitPoint(SearchThread& t, SplitPoint& sp) {
  t.splitCount++;
  const uint64_t before = t.counters.total();
  searchSplitPoint(t, sp);
  t.counters.splitNodes += t.counters.total() - before;
  if (!t.stop && sp.workers.load(std::memory_order_acquire) > 1 &&
      sp.bestScore.load(std::memory_order_relaxed) < sp.beta)
    helpWhileWaiting(t, sp);
  const uint64_t waitStart = microTicks();
  spinUntil([&] { return sp.workers.load(std::memory_order_acquire) <= 1; });
  addMicros(t.waitMicros, waitStart);
  leaveSplit(t, sp, sp.parent);
  t.splitCount--;
  // A cut-off here (or a stop for a split point below, already unwound) is over now; a stop of
  // the whole search stays.
  std::lock_guard<SpinLockBackoff> guard(t.lock);
  if (t.abortPly && sp.ply <= t.abortPly) {
    t.abortPly = 0;
    t.stop = uint32_t(t.controller->workersStop);
  }
}

void abortSplit(SearchThread& t, SplitPoint& sp, Move move, int score) {
  ParallelState& par = parallelOf(t);
  t.counters.splitCuts++;
  std::lock_guard<SpinLockBackoff> guard(par.lock);
  {
    std::lock_guard<SpinLockBackoff> spGuard(sp.lock);
    sp.picker->close();  // no more moves are handed out
    if (score > sp.alpha.load(std::memory_order_relaxed))
      sp.alpha.store(score, std::memory_order_relaxed);
    if (score > sp.bestScore.load(std::memory_order_relaxed)) {
      sp.bestScore.store(score, std::memory_order_relaxed);
      sp.bestMove.store(move, std::memory_order_relaxed);
    }
  }
  if (t.stop) return;
  for (int i = 0; i < MaxThreads; i++) {
    SearchThread& other = threadAt(t, i);
    if (&other == &t) continue;
    if (!isWithin(other.currentSplit.load(std::memory_order_relaxed), &sp)) continue;
    {
      std::lock_guard<SpinLockBackoff> otherGuard(other.lock);
      if (other.abortPly == 0 || other.abortPly > sp.ply) other.abortPly = sp.ply;
      other.stop = 1;
    }
    if (other.available) {
      other.available = 0;
      par.idleCount = par.idleCount - 1;
    }
    other.counters.kills++;
  }
}

uint64_t searchNodes(const SearchThread& t) {
  ParallelState& par = parallelOf(t);
  uint64_t total = t.counters.total();
  const int n = par.activeThreads;
  for (int i = 0; i < n; i++) {
    const SearchThread& other = threadAt(t, i);
    if (&other != &t) total += other.publishedNodes;
  }
  return total;
}
