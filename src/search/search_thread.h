#pragma once
// One search thread's record: its position, evaluator, principal variations, killers, node
// counters, stop flag and split-point data. The master's record is held by the search
// controller; the parallel search keeps eight of them.
#include <cstdint>

#include "board/position.h"
#include "eval/evaluator.h"
#include "search/node_rules.h"
#include "search/tt.h"
#include "shell/platform.h"

struct SplitPoint;

// Node statistics of one thread, reset at every search start.
struct SearchCounters {
  uint32_t interior = 0;       // search entries
  uint32_t frontier = 0;       // search calls that went straight to the quiescence search
  uint32_t quiescence = 0;
  uint32_t pruned = 0;         // moves dropped by futility
  uint32_t pvNodes = 0;
  uint32_t cutNodes = 0;
  uint32_t allNodes = 0;
  uint32_t endNodes = 0;       // no legal move
  uint32_t nullNodes = 0;      // nodes spent under null moves
  uint32_t nullDepth = 0;      // nesting of null-move searches
  uint32_t nullCuts = 0;
  uint32_t nullTries = 0;
  uint32_t iidNodes = 0;       // nodes spent in internal iterative deepening
  uint32_t iidDepth = 0;
  uint32_t firstMoveCuts = 0;
  uint32_t pvChanges = 0;
  uint32_t reduceTries = 0;
  uint32_t reduceFails = 0;
  uint32_t killerTries = 0;    // kept for the statistics block; nothing counts it yet
  uint32_t killerCuts = 0;
  uint32_t splits = 0;
  uint32_t splitCuts = 0;
  uint32_t kills = 0;
  TtCounters tt;

  // The nodes that the node limit and the speed figures count.
  uint32_t total() const { return interior + quiescence + pruned; }
};

constexpr int MaxThreads = 8;
constexpr int MaxSplitPoints = 8;  // per thread

struct SearchThread {
  Position pos;
  Evaluator eval{pos};  // reads pos; owns the thread's pawn hash
  volatile uint32_t stop = 0;
  int selDepth = 0;
  Move pv[PvRows][PvRows];
  Move killers[MaxPly][2];
  Move mateKiller[MaxPly];
  Move captureKiller[MaxPly];
  SearchCounters counters;

  // Parallel search: the split point this thread works for, the ply of the split point whose
  // cut-off stopped it, whether it waits for work, and how many split points it owns.
  int index = 0;
  SplitPoint* currentSplit = nullptr;
  int abortPly = 0;
  volatile uint32_t available = 0;
  int splitCount = 0;

  // The thread's hand-over events: idle while it waits for work, wake to give it work.
  Event idle;
  Event wake;
  Thread thread;

  SearchThread();
  SearchThread(const SearchThread&) = delete;
  SearchThread& operator=(const SearchThread&) = delete;

  // Clears selDepth, counters, killers and split state for a new search (not the stop flag).
  void reset();
};
