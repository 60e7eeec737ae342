#pragma once
// Reading moves in any common notation and printing them in the engine's long notation.
#include "board/position.h"

constexpr int MoveTextSize = 16;

// The one legal move the text denotes (with check flags), or 0.
Move parseMove(Position& pos, const char* text);
// Writes e2e4, e4xd5, e7e8=Q, d1h5+, O-O, O-O-O or "%" for no move.
char* printMove(const Position& pos, char* buffer, Move m);
// Coordinate notation for protocols: e2e4, e7e8q (castling as king to its target square).
char* coordinateMove(char* buffer, Move m);
