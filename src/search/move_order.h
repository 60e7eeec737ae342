#pragma once
// Move orderings of the search, built on the static exchange evaluation and the history. Each
// orders a range of moves in place, with `scores` as scratch of the same length; those that drop
// moves return the range's new end.
#include "board/position.h"

class History;

// Main search captures: recaptures first, then by exchange value; the losing ones go out to
// `losing` (advanced past them) in the order they came.
Move* orderCaptures(const Position& pos, Move* begin, Move* end, int* scores, Move*& losing);
// Quiescence captures: the table move, discovered checks, then by exchange value with the
// capture killer `preferred` first; drops losing captures and, above `threshold`, captures too
// small to matter (unless `checkTest` and they would attack the king); the largest value so
// dropped goes to `largestDropped` (0 when none).
Move* orderQuiescenceCaptures(const Position& pos, Move* begin, Move* end, int* scores,
                              Move tableMove, Move preferred, int threshold, bool checkTest,
                              int& largestDropped);
// Check evasions: the table move, then king moves by what they take and how central they go,
// then the other moves by exchange value.
void orderEvasions(const Position& pos, Move* begin, Move* end, int* scores, Move tableMove);
// Quiet moves, without empty words: answers to the threat found by the null move first, then by
// the history.
Move* orderQuiets(const Position& pos, const History& history, Move* begin, Move* end, int* scores,
                  Move threat);
// Quiet checks: drops those that lose material, orders the rest.
Move* orderChecks(const Position& pos, Move* begin, Move* end, int* scores);

// Sorts moves [begin, end) by descending score; equal scores keep their order.
void sortByScore(Move* begin, Move* end, int* scores);

// Whether the piece standing on `from` would attack `target` from `to` (line through empty
// squares for sliders; `from` counts as empty).
bool attacksFrom(const Position& pos, int piece, int from, int to, int target);
