#pragma once
// One search as a protocol or the console asks for it, in its own terms: the clock of the side
// to move, a fixed time, depth and node limits, analysis or pondering, the root moves to
// consider, the number of lines to show and a mate to look for. The search controller turns it
// into the time levels and limits the search threads read.
#include <cstdint>
#include <vector>

#include "board/types.h"
#include "search/time_control.h"

// The most lines a search finds at once.
constexpr int MaxLines = 64;

struct SearchLimits {
  int timeLeftMs = -1;  // the side to move's clock; below 0: no clock
  int incrementMs = 0;  // per move, on the side to move's clock
  int movesToGo = 0;    // moves to the next time control; 0: the rest of the game
  int moveTimeMs = -1;  // a fixed time for this move; below 0: none (takes precedence)
  int timeGapMs = 0;    // safety margin kept off the clock
  int moveOverheadMs = int(DefaultMoveOverheadMs);  // each move's round trip, kept back
  int depth = 0;                                    // 0: no depth limit
  uint64_t nodes = 0;                               // 0: no node limit
  bool infinite = false;   // analysis: only a stop (or depth or nodes) ends the search
  bool ponder = false;     // on the opponent's time: infinite until the ponder hit
  bool canPonder = false;  // the engine ponders in this game, so each move may take longer
  // An infinite or pondering search whose end is reported only after a stop or a ponder hit,
  // even when it has nothing left to search (UCI: the interface waits for that answer then).
  bool holdUntilStopped = false;
  int movesOutOfBook = 0;  // moves since the book was left (1 = the first); 0: not known
  std::vector<Move> searchMoves = {};  // the root moves to search; empty: every move
  int lines = 1;                       // the best this many root moves, each with its line
  int mateMoves = 0;                   // a mate in this many moves or fewer ends it; 0: none
  int strengthElo = 0;                 // play at this level (see StrengthLevel); 0: full strength

  // Neither a clock, a fixed time, a depth, node or mate limit, nor asked to run until
  // stopped: such a search runs until a stop all the same, which deserves a warning.
  bool unbounded() const {
    return timeLeftMs < 0 && moveTimeMs < 0 && depth == 0 && nodes == 0 && mateMoves == 0 &&
           !infinite && !ponder;
  }
};
