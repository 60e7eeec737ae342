#pragma once
// Move orderings of the search, built on the static exchange evaluation.
#include "search/move_supply.h"

// Main search captures (the supply's current batch): recaptures first, losing captures put
// aside into the supply's deposit, the rest by exchange value.
void orderCaptures(MoveSupply& supply);
// Quiescence captures: hash move, discovered checks, then by exchange value with the capture
// killer first; drops losing captures and, above `threshold`, captures too small to matter.
// Returns the largest value dropped by the threshold (0 when none).
int orderQuiescenceCaptures(MoveSupply& supply, int ply, int threshold, bool checkTest,
                            Move hashMove);
// Generates the check evasions into the supply's batch and orders them.
void orderEvasions(MoveSupply& supply, Move lastMove, Move hashMove);
// Quiet moves (the current batch, without its empty words): answers to the threat found by the
// null move first, then by the thread's history.
void orderQuiets(MoveSupply& supply, Move threat);

// Whether the piece standing on `from` would attack `target` from `to` (line through empty
// squares for sliders; `from` counts as empty).
bool attacksFrom(const Position& pos, int piece, int from, int to, int target);
