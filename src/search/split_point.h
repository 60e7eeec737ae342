#pragma once
// A split point: one node of the main search whose remaining moves several threads search
// together. The owner writes the node and its moves once (state 1 -> 2 -> 3, each step published
// with release); helpers read them after seeing the state with acquire. Afterwards only alpha,
// the best score and move (under `lock`), the move index and the worker count change.
#include <atomic>

#include "search/parallel_sync.h"
#include "search/search_thread.h"

struct SplitPoint {
  static constexpr int Closed = 1 << 24;  // `next` after a cut-off: no move is handed out

  // The node's remaining moves [0, count), in the order the node would have searched them, and
  // where the killer moves (stage 2) and the quiet moves (stage 4) begin.
  Move moves[MaxMoves + 8];
  int count = 0;
  int stage2Start = 0;
  int stage4Start = 0;
  std::atomic<int> next{0};  // index of the next move to hand out (fetch_add, relaxed)

  // The moves from the root to the node, 0 for a null move; the node's key checks the replay.
  Move path[PvRows];
  uint64_t key = 0;

  std::atomic<int> state{0};     // 1 being set up, 2 path written, 3 move list complete
  std::atomic<int> workers{0};   // threads working on it, owner included
  SplitPoint* parent = nullptr;  // the owner's previous split point (set under the global lock)
  SearchThread* owner = nullptr;
  SpinLockBackoff lock;  // alpha, best score, best move and the owner's pv row

  // The node, as the main search had it when it split.
  int type = 0;
  int ply = 0;
  int beta = 0;
  int depth = 0;
  int newDepth = 0;
  int futilityBase = 0;
  int threatSquare = 8;
  bool reductions = false;
  Move hashMove = 0;
  Move lastMove = 0;
  std::atomic<int> alpha{0};  // shared alpha, raised by every participant
  std::atomic<int> bestScore{0};
  std::atomic<Move> bestMove{0};
};

// What a thread needs to take back the path it played to reach a split point.
struct PathUndo {
  Move moves[PvRows];
  UndoInfo undo[PvRows];
  int count = 0;
};

// The main search's side of a split point (search.cpp).
// The move loop every participant runs on its own position, which must stand at the node.
void searchSplitPoint(SearchThread& t, SplitPoint& sp);
// Plays path[from, to) on the thread's position (0 is a null move); false, with nothing left
// played, if a move is refused.
bool playPath(Position& pos, const Move* path, int from, int to, PathUndo& undo);
void takeBackPath(Position& pos, PathUndo& undo);
