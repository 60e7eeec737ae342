#pragma once
// Moves of the game itself, as the console and the protocols enter them (not the search's):
// a move is refused when the game's history is full or the move is illegal; a move played
// becomes the position's last move, whose check flags tell the next search it is in check.
#include "board/position.h"

// Plays m; returns it with its check flags, or 0 when refused (the position is unchanged).
Move playGameMove(Position& pos, Move m);

enum class GameMoveResult { Played, Unreadable, HistoryFull, Illegal };

// Plays the move the text names (coordinate or algebraic notation).
GameMoveResult playGameMoveText(Position& pos, const char* text);
