#include "protocol/winboard_history.h"

#include "board/game_move.h"
#include "board/makemove.h"

Move WinBoardHistory::play(Position& pos, Move m) {
  if (!m || pos.ply >= uint32_t(MaxGamePly)) return 0;
  undo_[pos.ply] = saveUndo(pos);
  lastMove_[pos.ply] = pos.lastMove;
  return playGameMove(pos, m);
}

bool WinBoardHistory::takeBack(Position& pos) {
  if (pos.ply <= base_) return false;
  const uint32_t ply = pos.ply - 1;
  unmakeMove(pos, pos.moveHistory[ply], undo_[ply]);
  pos.lastMove = lastMove_[ply];
  return true;
}
