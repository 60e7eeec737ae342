#pragma once
// Positions for tests of every subsystem above the board: FEN text of a position, legality of a
// move by the full generator, positions from random play and from real games.
#include <string>
#include <vector>

#include "board/position.h"

std::string fenOf(const Position& pos);

// Whether m (flags aside) is one of the position's legal moves.
bool isLegalMove(Position& pos, Move m);

// FENs of positions met along random legal games from the start position (captures preferred
// every other move, so that games reach endings).
std::vector<std::string> randomPlayFens(int games, int plies, unsigned seed);

// FENs of the positions of the first `games` games of a PGN file, read with the board's own
// move parser: from ply `firstPly` on, every `stride` plies.
std::vector<std::string> gameFens(const std::string& pgnPath, int games, int stride,
                                  int firstPly = 10);
