#pragma once
// Process-wide lookup tables, built once by initTables() before any position is set up
// and read-only afterwards.
#include <array>
#include <cstdint>

#include "board/types.h"

struct BoardTables {
  // Indexed by (target - from + 128): which kinds standing on `from` attack `target` on an
  // empty board. 0x01 white pawn, 0x02 black pawn, 0x04 king, 0x08 knight,
  // 0x10 diagonal slider, 0x20 orthogonal slider.
  uint8_t attackMask[256];
  // Unit step from `from` toward `target` for slider lines, the jump itself for knights.
  int8_t directionTo[256];
  // Attack bits of the piece's kind OR its colour (0x40 white, 0x80 black), by piece number.
  uint8_t pieceMask[256];
  uint32_t materialOf[64];  // material counter contribution by slot
  uint32_t keyCode[256];    // kind * 128 + colour * 8, by piece number
  uint8_t kindOfSlot[64];   // kind code by slot
  uint8_t unitsOfSlot[64];  // pawn 1, knight 3, bishop 3, rook 5, queen 10
  uint64_t castleKeys[16];  // XOR of the single-right keys of each rights value
  // Two-step tables, indexed by square difference + 128: the first leg of each of the (at
  // most two) routes to that difference; the second leg is the difference minus the first.
  // 0 marks no route. Used to find squares from which a piece would give check.
  int8_t knightFirstJumps[256][2];     // two knight jumps
  int8_t orthogonalFirstLegs[256][2];  // an orthogonal leg, then a perpendicular one
  int8_t diagonalFirstLegs[256][2];    // a diagonal leg, then a perpendicular one
};

// The Zobrist keys, indexed by kind * 128 + (8 for black) + square. Rows of kind 0 hold the
// en-passant keys (by square) and the four castling base keys (entries 8..11).
// Opening books store position keys: changing this table invalidates every book file.
extern const std::array<uint64_t, 1024> zobrist;
extern BoardTables tables;

void initTables();

// The key of a piece (by number) standing on a square.
inline uint64_t pieceKey(int piece, int sq) { return zobrist[tables.keyCode[piece] + sq]; }

inline uint8_t attackMaskOf(int diff) { return tables.attackMask[diff + 128]; }
inline int directionOf(int diff) { return tables.directionTo[diff + 128]; }

constexpr int kingSteps[8] = {1, 17, 16, 15, -1, -17, -16, -15};
constexpr int knightSteps[8] = {18, 33, 31, 14, -18, -31, -33, -14};
constexpr int diagonalDirections[4] = {17, 15, -17, -15};
constexpr int orthogonalDirections[4] = {1, 16, -1, -16};
constexpr int pawnStep[2] = {16, -16};
