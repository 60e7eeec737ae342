#pragma once
// Moves as WinBoard writes and reads them: coordinates with an upper-case promotion letter,
// castling as O-O / O-O-O (the only form that is unambiguous in Chess960).
#include "board/types.h"

constexpr int WinBoardMoveTextSize = 8;

// "e2e4", "e7e8Q", "O-O", "O-O-O"; an empty text for no move.
char* winboardMoveText(char* buffer, Move m);

// Whether the opponent's move text names m: from-square, optional "x", to-square, for a
// promotion an optional "=" and the promotion letter in either case (none means a queen),
// an optional "+" or "#", and nothing more. A castling move is also named by "O-O" or
// "O-O-O" (letter O or digit 0) toward its side.
bool winboardTextNamesMove(const char* text, Move m);
