#pragma once
// The game as WinBoard sees it, kept so that moves can be taken back: for every game ply the
// UndoInfo saved just before the move was made, and the move that led to the position then.
#include "board/position.h"

class WinBoardHistory {
 public:
  // Forgets the moves made so far: the game now starts from pos as it stands.
  void reset(const Position& pos) { base_ = pos.ply; }
  // Saves what the move cannot restore, then makes m on pos. Returns the check-flagged move
  // (also stored as pos.lastMove), or 0 when m is illegal or the game has no room left.
  Move play(Position& pos, Move m);
  // Takes back the last game move; false at the start of the game (or of the record).
  bool takeBack(Position& pos);

 private:
  UndoInfo undo_[MaxHistory];
  Move lastMove_[MaxHistory];
  uint32_t base_ = 0;  // ply of the position the record starts from
};
