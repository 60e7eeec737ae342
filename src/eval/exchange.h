#pragma once
// Static exchange evaluation: the material outcome of both sides capturing on one square with
// their cheapest attacker, without making moves. Values are material units (pawn 1, knight and
// bishop 3, rook 5, queen 10).
#include <cstdint>

#include "board/position.h"
#include "eval/eval_build.h"

MELVOK_EVAL_BEGIN

struct Attacker {
  uint8_t square;
  uint8_t value;
};

// One side's attackers of a square. At most 16 pieces can attack one square at once (eight
// lines and eight knight jumps), x-ray attackers only replace pieces already used.
struct AttackerList {
  Attacker entry[16];
  int count = 0;
};

// The pieces of `side` attacking `target` directly: queens, rooks, bishops, knights, then pawns
// (the one on the lower file first). Pieces whose list entry is hidden (0x80) are skipped; the
// king is not listed. Returns the count.
int collectAttackers(AttackerList& list, const Position& pos, int side, int target);

// The value of move m for the mover when the exchange on its target does not lose, else the
// (negative) loss. When the origin is empty the square is probed for the other side: the piece
// on the target is taken to be the other side's and `side` captures first.
int staticExchange(const Position& pos, int side, Move m);

MELVOK_EVAL_END
