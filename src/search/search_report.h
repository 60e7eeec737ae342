#pragma once
// What a search tells whoever started it, as values: a protocol turns them into its own lines
// and never reads the search's state back. The moves belong to the position the search was
// started from.
#include <cstdint>

#include "search/node_rules.h"
#include "search/pv_line.h"
#include "search/tt.h"
#include "search/wdl_model.h"

// One line of the search: a new best move at the root, or with several lines each line after an
// iteration. A score outside the aspiration window is only a bound (BoundLower: at least this
// much, the window failed high; BoundUpper: at most this much, it failed low).
struct SearchInfo {
  int depth = 0;
  int selDepth = 0;
  int line = 0;  // 1 to the number of lines when the search looks for several; 0 otherwise
  int score = 0;
  uint8_t bound = BoundExact;
  uint64_t nodes = 0;
  uint32_t timeMs = 0;
  uint64_t nps = 0;          // nodes per second; 0 before the first millisecond
  int hashFull = 0;          // per mille of the table in use by this search
  uint64_t tableHits = 0;    // positions the endgame tables answered
  bool tablesInUse = false;  // endgame tables are loaded and probed by this search
  WdlPerMille wdl;           // the chances the score gives, for the side to move
  PvLine pv{};
};

// A score beyond MateBound is a mate the search has proven: the side to move mates (or is
// mated) in this many moves; 0 when it is mated now.
inline bool isMateScore(int score) { return score > MateBound || score < -MateBound; }
inline int mateInMoves(int score) {
  return score > 0 ? (Infinity + 1 - score) / 2 : -((score + Infinity) / 2);
}

// The root move the search turns to next (reported once the search has run for a while).
struct CurrentMoveInfo {
  int depth = 0;
  Move move = 0;
  int number = 0;  // 1 for the first root move
  uint64_t nodes = 0;
  uint32_t timeMs = 0;
  uint64_t nps = 0;
  int hashFull = 0;
};

// The end of a search: the move to play (0 when there is none), the reply it expects (0 when
// it knows none) and the line that found them, which a protocol shows once more before the move.
struct SearchResult {
  SearchInfo info;
  Move best = 0;
  Move ponder = 0;
};

class SearchListener {
 public:
  virtual ~SearchListener() = default;
  // A line of the search (see SearchInfo); on the searching thread.
  virtual void searchInfo(const SearchInfo& info) = 0;
  // Before a root move is searched, once the search has run for a second.
  virtual void currentMove(const CurrentMoveInfo& /*info*/) {}
  // Once per search, at its end, after every stop flag is set.
  virtual void finished(const SearchResult& result) = 0;
};
