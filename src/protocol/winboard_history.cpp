#include "protocol/winboard_history.h"

#include "board/makemove.h"

Move WinBoardHistory::play(Position& pos, Move m) {
  // Room is kept above the game for the searches that start from its last position.
  if (!m || pos.ply >= uint32_t(MaxGamePly)) return 0;
  const uint32_t ply = pos.ply;
  undo_[ply] = saveUndo(pos);
  lastMove_[ply] = pos.lastMove;
  const Move made = makeMove(pos, m & ~MoveCheckFlags);
  if (made) pos.lastMove = made;
  return made;
}

bool WinBoardHistory::takeBack(Position& pos) {
  if (pos.ply <= base_) return false;
  const uint32_t ply = pos.ply - 1;
  unmakeMove(pos, pos.moveHistory[ply], undo_[ply]);
  pos.lastMove = lastMove_[ply];
  return true;
}
