#pragma once
// Iterative deepening at the root: the whole search of the master's position, one iteration
// over the root moves, and the search lines on the log.
#include "board/position.h"

class SearchController;

// One whole search of the master's position by iterative deepening.
void think(SearchController& c);
// One iteration over the root moves; 0 when it was cut short.
int rootSearch(SearchController& c, int alpha, int beta, int depth);
// One line of search output on the log: depth, time, nodes, score, then " text".
void printSearchLine(SearchController& c, int score, const char* text);
// The moves in long notation, each followed by a blank, made and taken back on pos.
void printPv(Position& pos, const Move* moves);
