#pragma once
// A principal variation: the best line found from a node, as moves without their search flags,
// ended by 0. Each node of a search thread has one, indexed by ply; a node's line is its best
// move followed by the line of the child that move led to.
#include "search/node_rules.h"

struct PvLine {
  Move moves[PvRows];

  Move operator[](int i) const { return moves[i]; }
  void clear() { moves[0] = 0; }
  // The line is the one move m.
  void set(Move m) {
    moves[0] = stripFlags(m);
    moves[1] = 0;
  }
  // The line is m followed by the child's line.
  void extend(Move m, const PvLine& child) {
    moves[0] = stripFlags(m);
    int i = 1;
    while (i < PvRows - 1 && (moves[i] = child.moves[i - 1]) != 0) i++;
    moves[PvRows - 1] = 0;
  }
};
