#pragma once
// A split point: one node of the main search whose remaining moves several threads search
// together. The owner writes the node and its moves once (through the SplitState steps, each
// published with release); helpers read them after seeing the state with acquire. Afterwards
// only alpha, the best score and move (under `lock`), the move index and the worker count change.
#include <atomic>

#include "search/parallel_sync.h"
#include "search/search_thread.h"

// How far the owner has come setting a split point up.
enum SplitState : int {
  SplitFree = 0,
  SplitSettingUp = 1,    // the owner found helpers and is writing the node
  SplitPathWritten = 2,  // helpers may replay the moves from the root
  SplitReady = 3,        // the move list is complete
};

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

  std::atomic<int> state{SplitFree};
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
  bool inCheck = false;
  int searchedBefore = 0;  // moves the owner had searched (or pruned) when it split
  Move hashMove = 0;
  Move lastMove = 0;
  std::atomic<int> alpha{0};  // shared alpha, raised by every participant
  std::atomic<int> bestScore{0};
  std::atomic<Move> bestMove{0};
};
