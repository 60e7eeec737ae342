#pragma once
// Shared helpers of the evaluation tests: positions from FEN, colour-flipped twins, positions
// from random play and from real games.
#include <random>
#include <string>
#include <vector>

#include "board/position.h"
#include "support/positions.h"

// A fresh position set from `fen` (tables built on first use; fails the test on a bad FEN).
Position& positionFrom(const std::string& fen);

// The colour-flipped twin of a FEN: ranks mirrored, colours and side to move swapped, castling
// rights and the en-passant square mirrored.
std::string flipFen(const std::string& fen);

// A move of `pos` mirrored into its colour-flipped twin `twin` (0 if the twin has no such move).
Move mirroredMove(Position& twin, Move m);
