#pragma once
// Making and taking back moves, attack and pin tests, perft.
#include <cstdint>

#include "board/position.h"

// Plays m; returns m with its check flags, or 0 (position unchanged) when m is illegal.
Move makeMove(Position& pos, Move m);
// Takes back the move last made; m is the word passed to makeMove.
void unmakeMove(Position& pos, Move m, const UndoInfo& undo);
void unmakeSpecial(Position& pos, Move m);

// The position key after m, castling and en-passant changes aside: exact for most moves and
// close enough for the others to fetch the child's table entry ahead of time.
inline uint64_t keyAfter(const Position& pos, Move m) {
  const int from = moveFrom(m), to = moveTo(m), piece = pos.at(from), captured = moveCaptured(m);
  const uint64_t capture = captured ? pieceKey(captured, to) : 0;
  return pos.hashKey ^ pieceKey(piece, from) ^ pieceKey(piece, to) ^ capture;
}

bool isAttacked(const Position& pos, int side, int square);
bool isPinnedMove(const Position& pos, int king, int from, int to);

uint64_t perft(Position& pos, int depth, Move lastMove);
uint64_t perftCommand(Position& pos, int depth);
