#pragma once
// Parallel search: up to eight threads share one search through split points, in the
// young-brothers-wait manner. Once a node's first move is searched, its owner may publish the
// remaining moves in a split point; idle threads join and take moves from the shared list until
// it is empty or one of them cuts off, which stops every thread below that node. An owner whose
// moves are gone helps only inside its own subtree while it waits for its helpers. Thread 0 is
// the master (the controller's search thread); threads 1 to 7 are workers that sleep between
// searches. With one thread in use the split depth is 128, so the main search never offers a node.
#include <cstdint>

#include "search/search_thread.h"
#include "search/split_point.h"

class SearchController;

// Starts (or puts to sleep) workers so that n threads are in use (1 to 8); returns the count.
int startWorkers(int n);
// At search start with more than one thread: waits until every worker sleeps, copies the
// master's position as the root, resets the workers' records and wakes those in use.
void prepareSearch(SearchController& c);
// Threads in use for the parallel search.
int activeThreads();

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
