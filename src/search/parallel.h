#pragma once
// Parallel search: up to eight threads share one search through split points, in the
// young-brothers-wait manner. Once a node's first move is searched, its owner may publish the
// remaining moves in a split point; idle threads join and take moves from the node's shared
// move picker until it is empty or one of them cuts off, which stops every thread below that
// node. An owner whose moves are gone helps only inside its own subtree while it waits for its
// helpers. Thread 0 is the master (the controller's search thread); threads 1 to 7 are workers
// that sleep between searches. With one thread in use the split depth is 128, so the main
// search never offers a node.
#include <cstdint>
#include <mutex>

#include "search/search_thread.h"
#include "search/split_point.h"

class SearchController;

// The parallel search's shared state, one per search controller: the split points of every
// thread, the lock that assigns threads to them, and the root of the running search.
struct ParallelState {
  SplitPoint splitPoints[MaxThreads][MaxSplitPoints];
  // Guards assignments of threads to split points, every currentSplit change, the available
  // flags and idleCount. Held only briefly; trySplit never waits for it.
  SpinLockBackoff lock;
  Relaxed<int> idleCount{0};      // threads with `available` set (changed under `lock`)
  Relaxed<int> activeThreads{1};  // read by the searching threads, written by startWorkers
  Position rootCopy;              // the root of the running search
  uint32_t rootPly = 0;           // rootCopy.ply: the history index where the paths begin
  // Orders worker sleep and wake-up against startWorkers' pawn-hash changes: a worker whose
  // `idle` event is set under this mutex touches nothing until prepareSearch wakes it.
  std::mutex control;
};

// Starts (or puts to sleep) workers so that n threads are in use (1 to 8); returns the count.
int startWorkers(SearchController& c, int n);
// At search start with more than one thread: waits until every worker sleeps, copies the
// master's position as the root, resets the workers' records and wakes those in use.
void prepareSearch(SearchController& c);

// Offers the rest of the thread's current node to idle threads through slot sp; never waits for
// the global lock. True when at least one thread joined (sp then waits to be filled).
bool trySplit(SearchThread& t, SplitPoint& sp);
// The owner's part once it has filled sp (state 3): search the moves, help inside its own
// subtree while helpers work, wait for them, leave, and clear an abort that concerned this node.
void runSplitPoint(SearchThread& t, SplitPoint& sp);
// A cut-off at a split point: no more moves are handed out and every other thread working at sp
// or below it is stopped.
void abortSplit(SearchThread& t, SplitPoint& sp, Move move, int score);
// Interior and quiescence nodes of the whole search as seen from thread t during the
// search: its own exact count plus what the others published.
uint64_t searchNodes(const SearchThread& t);
// Microseconds of a steady clock, for the wait and administration times.
uint64_t microTicks();
