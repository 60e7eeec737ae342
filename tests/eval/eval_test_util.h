#pragma once
// Shared helpers of the evaluation tests: positions from FEN, colour-flipped twins, positions
// from random play and from real games.
#include <random>
#include <string>
#include <vector>

#include "board/position.h"

// A fresh position set from `fen` (tables built on first use; fails the test on a bad FEN).
Position& positionFrom(const std::string& fen);
std::string fenOf(const Position& pos);

// The colour-flipped twin of a FEN: ranks mirrored, colours and side to move swapped, castling
// rights and the en-passant square mirrored.
std::string flipFen(const std::string& fen);

// A move of `pos` mirrored into its colour-flipped twin `twin` (0 if the twin has no such move).
Move mirroredMove(Position& twin, Move m);

// FENs of positions met along random legal games from the start position.
std::vector<std::string> randomPlayFens(int games, int plies, unsigned seed);
// FENs of every position (from the tenth ply on, every `stride` plies) of the first `games`
// games of a PGN file, read with the board's own move parser.
std::vector<std::string> gameFens(const std::string& pgnPath, int games, int stride);
