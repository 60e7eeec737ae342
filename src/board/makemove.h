#pragma once
// Making and taking back moves, attack and pin tests, perft.
#include <cstdint>

#include "board/position.h"

// Plays m; returns m with its check flags, or 0 (position unchanged) when m is illegal.
Move makeMove(Position& pos, Move m);
// Takes back the move last made; m is the word passed to makeMove.
void unmakeMove(Position& pos, Move m, const UndoInfo& undo);
void unmakeSpecial(Position& pos, Move m);

bool isAttacked(const Position& pos, int side, int square);
bool isPinnedMove(const Position& pos, int king, int from, int to);

uint64_t perft(Position& pos, int depth, Move lastMove);
uint64_t perftCommand(Position& pos, int depth);
