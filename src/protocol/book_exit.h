#pragma once
// Where a game left the opening book, as both protocols keep it: the game ply + 1 of the first
// search the book could not answer (0 while the game is still in book) and the key of that
// position. The first moves out of book get extra time, so the search is told how many moves
// have been played since.
#include <cstdint>

#include "board/position.h"

struct BookExit {
  uint32_t firstPly = 0;
  uint64_t key = 0;

  bool inBook() const { return firstPly == 0; }
  // The book had no move in pos: the game leaves it here.
  void leave(const Position& pos) {
    firstPly = pos.ply + 1;
    key = pos.hashKey;
  }
  void clear() { *this = BookExit(); }
  // Moves played by the side to move since the book was left, counting this one (1 = the
  // first search out of book); 0 while in book or in a position before the exit.
  int movesOut(const Position& pos) const {
    if (inBook() || pos.ply + 1 < firstPly) return 0;
    return int(pos.ply + 1 - firstPly) / 2 + 1;
  }
};
