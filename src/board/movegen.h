#pragma once
// Move generators. Each writes from `list` on and returns the pointer past the last move.
#include "board/position.h"

Move* generateMoves(Position& pos, Move* list);
Move* generateEvasions(Position& pos, Move* list, Move lastMove);
Move* generateMovesTo(const Position& pos, Move* list, int square);
bool isMoveLegal(Position& pos, Move m);

// Staged generators for the search: no pin tests, king moves only to unattacked squares.
Move* generateCaptures(const Position& pos, Move* list);
Move* generateQuiets(const Position& pos, Move* list);
Move* generateKingQuiets(const Position& pos, Move* list);
Move* generateQuietChecks(const Position& pos, Move* list);
Move* generateDiscoveredChecks(const Position& pos, Move* list);

// All legal moves (evasions when in check), with makeMove's check flags; for tools and tests.
int generateLegalMoves(Position& pos, Move* list);
