#pragma once
// Positions for the tests of every layer from the board up: set up from FEN, reached by random
// legal play, or taken from real games.
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "board/position.h"

// A fresh position (on the heap: positions are large) set up from `fen`, the board's tables
// built on first use; fails the test when the FEN is refused.
std::unique_ptr<Position> positionFrom(const std::string& fen);
std::string fenOf(const Position& pos);

// Whether m (flags aside) is one of the position's legal moves.
bool isLegalMove(Position& pos, Move m);
// Plays the moves given as text (any notation the board reads); fails the test on one that is
// not a legal move.
void playMoves(Position& pos, const std::vector<std::string>& moves);

// The one random-game generator: plays up to `plies` random legal moves (fewer at mate,
// stalemate or a full history) with lastMove kept, and returns the moves made with their check
// flags. With `preferCaptures` every other move takes something when it can, so that games
// reach endings; with `choices` > 0 only the first that many legal moves are candidates, so that
// games meet again.
std::vector<Move> playRandomMoves(Position& pos, int plies, std::mt19937& rng,
                                  bool preferCaptures = false, int choices = 0);
// FENs of every position of `games` such games from the start position.
std::vector<std::string> randomPlayFens(int games, int plies, unsigned seed);

// FENs of the first `games` games of a PGN file, replayed with the board's own move parser: from
// ply `firstPly` on, every `stride` plies. Fails the test unless the file holds that many games
// and every move of them parses.
std::vector<std::string> gameFens(const std::string& pgnPath, int games, int stride,
                                  int firstPly = 10);

// A random Chess960 start position (the bishops on both colours, the king between the rooks),
// with file-letter castling rights.
std::string chess960Fen(unsigned seed);

// The lines of a perft EPD file: "FEN ;D1 20 ;D2 400 ...". Fails the test when the file cannot
// be read or holds no counts.
struct PerftLine {
  std::string fen;
  std::vector<std::pair<int, uint64_t>> counts;  // depth, leaves
};
std::vector<PerftLine> readPerftFile(const std::string& path);
