#pragma once
// Self-play games for training data: each game starts from an opening line and a few random
// plies, every move is a search of a fixed number of nodes on one thread, and the quiet
// positions of a finished game (not in check, best move neither a capture nor a promotion) are
// appended to the data file with the game's result and their search scores.
//
// A game depends only on the seed and its index: it starts from a clean table, and its random
// choices come from a generator seeded by both. A file that already holds games is continued
// after them, so an interrupted run is resumed by running the same command again.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "board/position.h"
#include "training_data.h"

// A start position and the moves played from it.
struct OpeningLine {
  std::string fen;
  std::vector<std::string> moves;
};

// The built-in openings: the first moves of the common openings.
std::vector<OpeningLine> builtInOpenings();
// The openings of a file: an EPD (a FEN a line; what follows the fourth field or a ';' is left
// out) or a PGN (the first `pgnPlies` plies of each game). False with a message in `error` when
// the file cannot be read or holds no usable line; lines that are no legal position or move are
// reported in `warnings` and skipped.
bool readOpenings(const char* path, int pgnPlies, std::vector<OpeningLine>& lines,
                  std::string& error, std::vector<std::string>& warnings);

struct SelfPlayOptions {
  std::string out;
  uint64_t seed = 1;
  uint64_t games = 0;      // the file holds this many games when the run ends (0: no limit)
  uint64_t positions = 0;  // ... or at least this many positions (0: no limit)
  uint32_t nodes = 6000;   // per move
  int randomPlies = 8;     // after the opening line
  uint32_t hashMb = 16;
  double progressSeconds = 10;        // between progress lines; 0: only the last
  std::vector<OpeningLine> openings;  // empty: the built-in ones
};

// Game endings short of mate, stalemate and the draw rules (the fifty-move rule, a position
// repeated three times, mating material gone).
struct Adjudication {
  int resignScore = 1000;  // a side this far ahead (either side's view) ...
  int resignPlies = 8;     // ... for this many plies in a row wins
  int drawScore = 10;      // scores this small ...
  int drawPlies = 12;      // ... for this many plies in a row, ...
  int drawFromPly = 80;    // ... from this ply on, draw
  int maxPlies = 600;      // a game this long is drawn
  int openingScore = 400;  // an opening scored beyond this is drawn again (a few times at most)
};

struct SelfPlaySummary {
  uint64_t firstGame = 0;  // the index the run started from
  uint64_t games = 0;      // games played in the run
  uint64_t positions = 0;  // records written in the run
  uint64_t fileGames = 0;  // the file's next game index at the end
  uint64_t filePositions = 0;
};

// One game of the data set: its quiet positions with the result set, in the order played.
std::vector<PackedRecord> playGame(const SelfPlayOptions& options, const Adjudication& rules,
                                   uint64_t index, int* result = nullptr);

// Plays games into options.out until its game or position count is reached. Progress lines go
// to `progress` (if not null). False with a message in `error` when the file cannot be written
// or holds data made with other settings.
bool runSelfPlay(const SelfPlayOptions& options, const Adjudication& rules, FILE* progress,
                 SelfPlaySummary& summary, std::string& error);
