#pragma once
// Reading games from a PGN file, one at a time: the tags the book builder needs, the result
// and the main-line move tokens, without comments, variations, move numbers and evaluation
// symbols. Moves are not checked here; the builder plays them on a board.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "base/output_stream.h"
#include "base/rc_string.h"

// Result codes index resultStrings: 0 none or "*", 1 draw, 2 White won, 3 Black won.
constexpr int ResultNone = 0;
constexpr int ResultDraw = 1;
constexpr int ResultWhiteWins = 2;
constexpr int ResultBlackWins = 3;
extern const char* const resultStrings[4];

struct PgnGame {
  RcString fen;
  RcString white;
  RcString black;
  RcString date;
  RcString event;
  RcString site;
  RcString round;
  RcString eco;
  RcString warning;        // the last problem found in this game, or empty
  bool inComment = false;  // a brace comment is open
  int variationDepth = 0;  // open parentheses of a variation
  int32_t whiteElo = 0;
  int32_t blackElo = 0;
  int result = ResultNone;
  std::vector<RcString> moves;

  uint32_t moveCount() const { return uint32_t(moves.size()); }
  void clear();
};

class PgnReader {
 public:
  PgnReader() = default;
  ~PgnReader() { close(); }
  PgnReader(const PgnReader&) = delete;
  PgnReader& operator=(const PgnReader&) = delete;

  bool open(const char* path);
  void close();
  // The next game (overwriting the previous one), or null at the end of the file.
  PgnGame* nextGame();
  uint32_t lineNumber() const { return lines_; }

  // The line parsers, public for the tests.
  void parseTagLine(const char* line);
  void parseMovetextLine(const char* line);
  PgnGame& game() { return game_; }

 private:
  char* readLine();
  bool atEnd() const;
  void addToken(const char* token, int length);

  FILE* file_ = nullptr;
  TextFile text_;
  uint32_t lines_ = 0;
  PgnGame game_;
};
