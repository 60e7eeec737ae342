#pragma once
// Moves as a UCI interface reads them, with the four ways of writing castling.
#include "board/position.h"

// How castling is written: "smart" picks king-takes-rook where the king's step alone would be
// ambiguous (a king that moves at most one file, as happens in Chess960), else king to target.
enum UciCastleNotation { CastleSmart = 0, CastleOO = 1, CastleKxR = 2, CastleE1G1 = 3 };

// Long enough for every move text (castling "O-O-O", promotions "e7e8q", "0000").
constexpr int UciMoveTextSize = 8;

// Writes m in UCI notation into buffer and returns it: "0000" for no move, from and to square,
// a promotion letter; castling by `notation` (pos supplies the castling rook's square).
char* uciMoveText(char* buffer, const Position& pos, Move m, int notation);

// The notation named by an option value ("smart", "O-O", "KxR", "e1g1"), or -1.
int castleNotationFromName(const char* name);
// The name of a notation (the inverse of castleNotationFromName).
const char* castleNotationName(int notation);
