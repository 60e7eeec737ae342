#pragma once
// One search thread's record: its position, evaluator, principal variations, killers, node
// counters, stop flag and split-point data. The master's record is held by the search
// controller; the parallel search keeps eight of them.
#include <cstdint>

#include "base/platform.h"
#include "board/position.h"
#include "eval/evaluator.h"
#include "search/eval_correction.h"
#include "search/history.h"
#include "search/node_rules.h"
#include "search/parallel_sync.h"
#include "search/pv_line.h"
#include "search/tt.h"

struct SplitPoint;
class SearchController;

// Node statistics of one thread, reset at every search start.
struct SearchCounters {
  uint64_t interior = 0;  // search entries
  uint64_t frontier = 0;  // search calls that went straight to the quiescence search
  uint64_t quiescence = 0;
  uint64_t pruned = 0;  // moves dropped by futility
  uint64_t pvNodes = 0;
  uint64_t cutNodes = 0;
  uint64_t allNodes = 0;
  uint64_t endNodes = 0;   // no legal move
  uint64_t nullNodes = 0;  // nodes spent under null moves
  uint32_t nullDepth = 0;  // nesting of null-move searches
  uint64_t nullCuts = 0;
  uint64_t nullTries = 0;
  uint64_t iidNodes = 0;  // nodes spent in internal iterative deepening
  uint32_t iidDepth = 0;
  uint64_t firstMoveCuts = 0;
  uint64_t pvChanges = 0;
  uint64_t reduceTries = 0;
  uint64_t reduceFails = 0;
  uint64_t killerCuts = 0;
  uint64_t splits = 0;      // split attempts that found the global lock free
  uint64_t splitFails = 0;  // ... of which no thread joined
  uint64_t splitCuts = 0;   // cut-offs at split points
  uint64_t kills = 0;       // times a cut-off at a split point stopped this thread
  uint64_t splitNodes = 0;  // nodes searched by this thread at its own split points
  uint64_t tableHits = 0;   // positions the endgame tables answered (Syzygy or bitbases)
  TtCounters tt;

  // The nodes that the node limit and the speed figures count: the positions the search made
  // and looked at. A pruned move is never made, so it is no node.
  uint64_t total() const { return interior + quiescence; }
};

constexpr int MaxThreads = 8;
constexpr int MaxSplitPoints = 8;  // per thread

struct SearchThread {
  SearchController* controller = nullptr;  // whose search this thread takes part in
  Position pos;
  Evaluator eval{pos};        // reads pos; owns the thread's pawn hash
  Relaxed<uint32_t> stop{0};  // set by other threads; cleared only under `lock`
  int selDepth = 0;
  PvLine pv[PvRows];  // by ply
  Move killers[MaxPly][2];
  Move mateKiller[MaxPly];
  Move captureKiller[MaxPly];
  // What the searches of a game learn and the next move's search starts from (cleared by a
  // new game): the quiet-move ordering, and the static scores by pawn structure.
  History history;
  EvalCorrection correction;
  SearchCounters counters;

  // Parallel search: the split point this thread works for (changed only under the global
  // lock; published with release so that the split point's set-up is seen with it), the ply of
  // the split point whose cut-off stopped it (under `lock`), whether it waits for work, its
  // split-point slots and how many of them are in use.
  int index = 0;
  std::atomic<SplitPoint*> currentSplit{nullptr};
  int abortPly = 0;
  Relaxed<uint32_t> available{0};
  SplitPoint* splits = nullptr;
  int splitCount = 0;
  SpinLockBackoff lock;  // guards stop changes and abortPly
  // Node count published every 256 interior nodes for the other threads' node-limit checks.
  Relaxed<uint64_t> publishedNodes{0};
  // Microseconds spent waiting for work or helpers, and setting up or leaving split points.
  Relaxed<uint64_t> waitMicros{0};
  Relaxed<uint64_t> adminMicros{0};
  // Pawn-hash size this thread should have; a busy worker applies it before it sleeps again.
  Relaxed<uint32_t> wantedPawnEntries{65536};

  // The thread's hand-over events: idle while it waits for work, wake to give it work.
  Event idle;
  Event wake;
  Thread thread;

  SearchThread();
  SearchThread(const SearchThread&) = delete;
  SearchThread& operator=(const SearchThread&) = delete;

  // Clears selDepth, counters, killers and split state for a new search (not the stop flag,
  // nor what earlier searches of the game learnt).
  void reset();
  // Forgets what the searches of a game learnt (history and correction): a new game.
  void forgetGame();
};
