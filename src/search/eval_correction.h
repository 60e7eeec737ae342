#pragma once
// Evaluation correction: how far the searches of positions with this pawn structure have lately
// come out above or below their static score, per side to move. The static evaluation misjudges
// some pawn structures the same way in every position that has them (a weak pawn it does not
// see, a passer worth more than it thinks); the search finds that out, and the nodes after it
// with the same pawns start from a score nearer the truth.
#include <cstdint>
#include <cstring>

#include "board/position.h"

class EvalCorrection {
 public:
  static constexpr int MaxCorrection = 64;  // centipawns either way

  void clear() { std::memset(table, 0, sizeof table); }

  int corrected(const Position& pos, int staticEval) const {
    return staticEval + entry(pos) / Grain;
  }

  // A search of `depth` plies gave the node `searched` where its uncorrected static score was
  // `staticEval`. Deeper searches move the correction further toward what they found.
  void learn(const Position& pos, int staticEval, int searched, int depth) {
    int target = searched - staticEval;
    if (target > MaxCorrection) target = MaxCorrection;
    if (target < -MaxCorrection) target = -MaxCorrection;
    const int weight = depth + 1 < MaxWeight ? depth + 1 : MaxWeight;
    int16_t& e = entry(pos);
    e = int16_t(e + (target * Grain - e) * weight / WeightScale);
  }

 private:
  // Entries in 1/256 of a centipawn; a move toward a target within the bound stays within it, so
  // 16 bits hold every entry and the table of a thread fits in 64 KB.
  static constexpr int Grain = 256;
  static constexpr int MaxWeight = 16;
  static constexpr int WeightScale = 256;
  static constexpr int Entries = 16384;  // per side

  static int indexOf(const Position& pos) {
    return int(pos.sideToMove) * Entries + int(pos.pawnKey & (Entries - 1));
  }
  int16_t& entry(const Position& pos) { return table[indexOf(pos)]; }
  int16_t entry(const Position& pos) const { return table[indexOf(pos)]; }

  int16_t table[2 * Entries];
  static_assert(MaxCorrection * Grain <= INT16_MAX, "entries must fit 16 bits");
};
