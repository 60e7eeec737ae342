#include "board/game_move.h"

#include "board/makemove.h"
#include "board/notation.h"

Move playGameMove(Position& pos, Move m) {
  // Room is kept above the game for the searches that start from its last position.
  if (!m || pos.ply >= uint32_t(MaxGamePly)) return 0;
  const Move made = makeMove(pos, m & ~MoveCheckFlags);
  if (made) pos.lastMove = made;
  return made;
}

GameMoveResult playGameMoveText(Position& pos, const char* text) {
  const Move m = parseMove(pos, text);
  if (!m) return GameMoveResult::Unreadable;
  if (pos.ply >= uint32_t(MaxGamePly)) return GameMoveResult::HistoryFull;
  return playGameMove(pos, m) ? GameMoveResult::Played : GameMoveResult::Illegal;
}
