#pragma once
// The opening book as the engine sees it: a move for a position, or none. The book itself (its
// file, the choice by weight, the console's commands) lives in its own layer; the program
// builds one and hands it to the engine.
#include "board/position.h"

class OpeningBook {
 public:
  virtual ~OpeningBook() = default;
  // A book move for pos drawn by weight, or 0 (no book open, pos not in it, past its depth).
  virtual Move pick(Position& pos) = 0;
};
