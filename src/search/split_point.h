#pragma once
// A split point: one node of the main search whose remaining moves several threads search
// together. The owner writes the node and shares its move picker once (through the SplitState
// steps, each published with release); helpers read them after seeing the state with acquire.
// Afterwards only alpha, the best score and move, the picker (all under `lock`) and the worker
// count change.
#include <atomic>

#include "search/move_picker.h"
#include "search/parallel_sync.h"
#include "search/search_thread.h"

// How far the owner has come setting a split point up.
enum SplitState : int {
  SplitFree = 0,
  SplitSettingUp = 1,    // the owner found helpers and is writing the node
  SplitPathWritten = 2,  // helpers may replay the moves from the root
  SplitReady = 3,        // the move picker is shared
};

struct SplitPoint {
  // The owner's move picker, its remaining moves generated (MovePicker::share): every thread
  // takes the next move from it under `lock`, and how many it handed out numbers them.
  MovePicker* picker = nullptr;
  int handedOut = 0;

  // The moves from the root to the node, 0 for a null move; the node's key checks the replay.
  Move path[PvRows];
  uint64_t key = 0;

  std::atomic<int> state{SplitFree};
  std::atomic<int> workers{0};   // threads working on it, owner included
  SplitPoint* parent = nullptr;  // the owner's previous split point (set under the global lock)
  SearchThread* owner = nullptr;
  SpinLockBackoff lock;  // alpha, best score, best move, the picker and the owner's pv row

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
