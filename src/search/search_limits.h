#pragma once
// One search as a protocol or the console asks for it, in its own terms: the clock of the side
// to move, a fixed time, depth and node limits, analysis or pondering. The search controller
// turns it into the time levels and limits the search threads read.
#include <cstdint>

struct SearchLimits {
  int timeLeftMs = -1;     // the side to move's clock; below 0: no clock
  int incrementMs = 0;     // per move, on the side to move's clock
  int movesToGo = 0;       // moves to the next time control; 0: the rest of the game
  int moveTimeMs = -1;     // a fixed time for this move; below 0: none (takes precedence)
  int timeGapMs = 0;       // safety margin kept off the clock
  int depth = 0;           // 0: no depth limit
  uint32_t nodes = 0;      // 0: no node limit
  bool infinite = false;   // analysis: only a stop (or depth or nodes) ends the search
  bool ponder = false;     // on the opponent's time: infinite until the ponder hit
  bool canPonder = false;  // the engine ponders in this game, so each move may take longer
  int movesOutOfBook = 0;  // moves since the book was left (1 = the first); 0: not known

  // Neither a clock, a fixed time, a depth or a node limit, nor asked to run until stopped:
  // such a search runs until a stop all the same, which deserves a warning.
  bool unbounded() const {
    return timeLeftMs < 0 && moveTimeMs < 0 && depth == 0 && nodes == 0 && !infinite && !ponder;
  }
};
