#pragma once
// Quiet-move history: how well moves of a piece kind to a square have done lately, per side.
// A quiet move that refutes a node gains, the quiet moves tried before it at that node lose;
// the amounts grow with the depth of the node, and every entry is pulled back toward zero in
// proportion to its size, so that old experience fades and the values stay bounded.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "board/position.h"
#include "board/tables.h"

class History {
 public:
  static constexpr int Max = 16384;  // entries stay within [-Max, Max]

  void clear() { std::memset(table, 0, sizeof table); }

  int score(const Position& pos, Move m) const { return entry(pos, m); }

  // `best` refuted a node of `depth`; `tried` are the quiet moves searched before it there.
  void reward(const Position& pos, Move best, int depth, const Move* tried, int triedCount) {
    const int bonus = bonusFor(depth);
    adjust(entry(pos, best), bonus);
    for (int i = 0; i < triedCount; i++) adjust(entry(pos, tried[i]), -bonus);
  }

 private:
  static constexpr int MaxBonus = 2400;
  static int bonusFor(int depth) {
    const int b = 16 * depth * depth;
    return b < MaxBonus ? b : MaxBonus;
  }
  static void adjust(int16_t& e, int amount) {
    e = int16_t(e + amount - e * std::abs(amount) / Max);
  }
  // Entries by the mover's colour and kind and the target square.
  static int indexOf(const Position& pos, Move m) {
    const int piece = pos.at(moveFrom(m));
    return (colourOf(piece) * 8 + tables.kindOfSlot[slotOf(piece)]) * 128 + moveTo(m);
  }
  int16_t& entry(const Position& pos, Move m) { return table[indexOf(pos, m)]; }
  int16_t entry(const Position& pos, Move m) const { return table[indexOf(pos, m)]; }

  int16_t table[2 * 8 * 128];  // side, kind, target square (0x88)
};
