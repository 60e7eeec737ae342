#pragma once
// The search's uses of the evaluation: the static score of a thread's position, the exchange
// value of a move for the side to move, and the passed pawns of the current pawn entry.
#include "board/position.h"
#include "eval/evaluator.h"
#include "eval/exchange.h"

// A plain capture of a piece worth at least the capturer cannot lose: the exchange is worth
// the victim, with no need to play it out.
inline int exchange(const Position& pos, Move m) {
  if (!(m & MoveSpecial) && moveCaptured(m)) {
    const int gain = tables.unitsOfSlot[slotOf(moveCaptured(m))];
    if (gain >= tables.unitsOfSlot[slotOf(pos.at(moveFrom(m)))]) return gain;
  }
  return staticExchange(pos, int(pos.sideToMove), m);
}

// Whether `square` holds a passed pawn in the pawn entry the evaluator scored last. Past a
// node's first child that entry belongs to a position further down, which shares the node's
// pawns unless a pawn moved on the way: in games this lookup played better than the node's own
// entry and than no lookup at all.
inline bool isPassedPawn(const Evaluator& eval, int side, int square) {
  const PawnSide& record = eval.pawnEntry().side[side];
  for (int i = 0; i < record.passerCount; i++)
    if (record.passers[i] == square) return true;
  return false;
}
