#pragma once
// Occupancy rays. Beside the mailbox the position keeps the set of occupied squares as 64 bits,
// so that the first piece along a line is one bit scan instead of a square-by-square walk: the
// walk's exit is a branch the processor often mispredicts, and such walks sit in hot code
// (capture generation, slider mobility, quiet checks).
#include <cstdint>

#include "board/position.h"

// The bit of an 0x88 square in a 64-square set (a1 bit 0, h8 bit 63) and back.
constexpr int bitIndex(int sq) { return (sq + (sq & 7)) >> 1; }
constexpr uint64_t squareBit(int sq) { return 1ull << bitIndex(sq); }
constexpr int squareOfBit(int bit) { return bit + (bit & 0x38); }

// Ray slots: 0..3 run up the bit order (toward h8), 4..7 down.
constexpr int rayDirections[8] = {1, 15, 16, 17, -1, -15, -16, -17};
constexpr int raySlot(int dir) {
  for (int i = 0; i < 8; i++)
    if (rayDirections[i] == dir) return i;
  return -1;
}

struct RayTables {
  uint64_t squares[8][128];  // squares from an 0x88 square (exclusive) to the board edge
  uint8_t length[8][128];    // how many there are
};

constexpr RayTables makeRayTables() {
  RayTables t{};
  for (int slot = 0; slot < 8; slot++)
    for (int from = 0; from < 128; from++) {
      if (!onBoard(from)) continue;
      for (int sq = from + rayDirections[slot]; onBoard(sq); sq += rayDirections[slot]) {
        t.squares[slot][from] |= squareBit(sq);
        t.length[slot][from]++;
      }
    }
  return t;
}

inline constexpr RayTables rays = makeRayTables();

// The first piece from a square along a direction. On an open line `piece` is Guard (the walk
// ran off the board) and `square` means nothing; `empty` counts the empty squares passed.
struct RayHit {
  int square;
  int piece;
  int empty;
};

template <int Dir>
inline RayHit firstOnRay(const Position& pos, int from) {
  constexpr int slot = raySlot(Dir);
  static_assert(slot >= 0, "not a line direction");
  const uint64_t blockers = rays.squares[slot][from] & pos.occupied;
  // The sentinel bit lies at the far end of the bit order, where this direction's rays are empty.
  const int bit =
      Dir > 0 ? __builtin_ctzll(blockers | (1ull << 63)) : 63 - __builtin_clzll(blockers | 1);
  const int fromBit = bitIndex(from);
  const int steps = (Dir == 1 || Dir == -1)
                        ? (Dir > 0 ? bit - fromBit : fromBit - bit)
                        : (Dir > 0 ? (bit >> 3) - (fromBit >> 3) : (fromBit >> 3) - (bit >> 3));
  const int square = squareOfBit(bit);
  const int piece = pos.at(square);
  return blockers ? RayHit{square, piece, steps - 1}
                  : RayHit{square, Guard, rays.length[slot][from]};
}

// The empty squares from a square along a direction, up to the first piece.
template <int Dir>
inline uint64_t emptyOnRay(const Position& pos, int from) {
  constexpr int slot = raySlot(Dir);
  const uint64_t ray = rays.squares[slot][from];
  const uint64_t blockers = ray & pos.occupied;
  if (!blockers) return ray;
  const int bit = Dir > 0 ? __builtin_ctzll(blockers) : 63 - __builtin_clzll(blockers);
  return ray & ~(rays.squares[slot][squareOfBit(bit)] | (1ull << bit));
}

// Squares on the diagonals (0x10) and/or lines (0x20) through a square, as a slider mask selects.
inline uint64_t lineSquares(int sq, int sliderMask) {
  uint64_t lines = 0;
  if (sliderMask & 0x10)
    lines |= rays.squares[1][sq] | rays.squares[3][sq] | rays.squares[5][sq] | rays.squares[7][sq];
  if (sliderMask & 0x20)
    lines |= rays.squares[0][sq] | rays.squares[2][sq] | rays.squares[4][sq] | rays.squares[6][sq];
  return lines;
}

// The occupancy recomputed from the board, for set-up and verification.
uint64_t computeOccupancy(const Position& pos);
