#pragma once
// Shared helpers of the board tests: table set-up, random legal play, EPD perft lines.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "board/position.h"

// Builds the tables once and returns a fresh position set from `fen` (fails the test if the
// FEN is rejected).
Position* newPosition(const char* fen);

// Plays up to `plies` random legal moves (stops at mate or stalemate); returns the moves made.
std::vector<Move> playRandomMoves(Position& pos, int plies, std::mt19937& rng);

struct PerftLine {
  std::string fen;
  std::vector<std::pair<int, uint64_t>> counts;  // depth, expected leaves
};
std::vector<PerftLine> readPerftFile(const std::string& path);

// The 960 start positions by their standard number (0..959), as a FEN with file-letter
// castling rights.
std::string chess960Fen(int number);
