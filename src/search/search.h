#pragma once
// The two recursive searches. Both are fail-soft and run on one thread's record; the position
// is left exactly as found, also after a stop.
#include "search/search_thread.h"

// Node types: a PV node (open window), an expected cut node, an expected all node.
constexpr int PvNode = 0;
constexpr int CutNode = 1;
constexpr int AllNode = -1;

// Full-width alpha-beta search of the thread's position at `ply` from the root, `depth` plies
// deep; lastMove is the check-flagged move that led here (0 after a null move).
int search(SearchThread& t, int ply, int alpha, int beta, int depth, Move lastMove, int type);
// Quiescence search: captures, promotions and (in its first plies) checks; all evasions in
// check. The main search enters with quiescence depth 4.
int qsearch(SearchThread& t, int ply, int alpha, int beta, int qdepth, Move lastMove);

struct SplitPoint;
// The move loop of a split point, which every participant runs on its own position standing at
// the node.
void searchSplitPoint(SearchThread& t, SplitPoint& sp);

// Thresholds shared by every search thread during one search, set by the search start and the
// iterative deepening.
struct SearchThresholds {
  int splitDepth = 128;        // 128: one thread never splits
  int bitbasePlyLimit = 2;     // probes beyond the unconditional limit stop at this ply
  int bitbaseProbeLimit = -1;  // non-king men at which probing is allowed at all
  int bitbaseFreeLimit = -1;   // non-king men up to which probing needs no condition
  int syzygyMen = 0;           // men (kings included) up to which the Syzygy tables are asked
  int syzygyDepth = 1;         // ... at nodes at least this deep
  bool syzygyRule50 = true;    // cursed wins and blessed losses are draws
};
