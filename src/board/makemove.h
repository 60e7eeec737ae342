#pragma once
// Making and taking back moves, attack and pin tests, perft.
#include <cstdint>

#include "board/position.h"

// Plays m; returns m with its check flags, or 0 (position unchanged) when m is illegal.
Move makeMove(Position& pos, Move m);
// Takes back the move last made; m is the word passed to makeMove.
void unmakeMove(Position& pos, Move m, const UndoInfo& undo);
void unmakeSpecial(Position& pos, Move m);

// The null move: the side to move passes. It enters the history as an irreversible 0 move so
// that repetition scans stop there. `undo` is saveUndo from before the null move.
inline void makeNullMove(Position& pos) {
  pos.keyHistory[pos.ply] = pos.hashKey;
  pos.moveHistory[pos.ply] = 0;
  pos.ply++;
  pos.lastIrreversible = uint16_t(pos.ply);
  if (pos.epSquare) {
    pos.hashKey ^= zobrist[pos.epSquare];
    pos.epSquare = 0;
  }
  pos.sideToMove ^= 1;
}

inline void unmakeNullMove(Position& pos, const UndoInfo& undo) {
  pos.sideToMove ^= 1;
  pos.ply--;
  pos.hashKey = pos.keyHistory[pos.ply];
  pos.epSquare = undo.epSquare;
  pos.lastIrreversible = undo.lastIrreversible;
}

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
