#include "eval/eval_tables.h"

#include <cstdlib>

MELVOK_EVAL_BEGIN

namespace {

constexpr int absolute(int x) { return x < 0 ? -x : x; }
constexpr int sign(int x) { return (x > 0) - (x < 0); }

// Knight tropism by |dr|, |df| (king minus knight).
constexpr int knightTropismRule(int dr, int df) {
  const int r = absolute(dr), f = absolute(df);
  if (r <= 2 && f <= 2) return (r == 0 && f == 0) ? 0 : (r == 0 && f == 2) ? 6 : 8;
  if (r <= 2 && f == 3) return 2;
  if (r == 3) return f == 0 ? 8 : f == 1 ? 6 : f <= 3 ? 4 : 0;
  if (r == 4) return f <= 3 ? 4 : 0;
  if (r == 5) return f == 1 ? 4 : 0;
  return 0;
}

constexpr int bishopLineRule(int dr, int df) {
  const int r = absolute(dr), f = absolute(df);
  const bool near = (r == 0 && (f == 1 || f == 2)) || (r == 1 && f <= 1) || (r == 2 && f == 0);
  return near ? 8 : 0;
}

constexpr int rookLineRule(int dr, int df) {
  const int r = absolute(dr), f = absolute(df);
  if (r <= 1 && f <= 1 && (r | f)) return 8;
  if (r == 2 && f == 2) return 6;
  return 0;
}

constexpr int queenLineRule(int dr, int df) {
  const int r = absolute(dr), f = absolute(df);
  return (r <= 2 && f <= 2 && (r | f)) ? 8 : 0;
}

constexpr int vertical(int dr) { return 16 * sign(dr); }
constexpr int horizontal(int df) { return sign(df); }
constexpr int diagonal(int dr, int df) { return 16 * sign(dr) + sign(df); }

// A bishop walks its diagonal toward the king when the king lies roughly along it.
constexpr int bishopStepRule(int dr, int df) {
  const int r = absolute(dr), f = absolute(df);
  if (r >= 2 && df != 0 && f >= r - 2 && f <= r + 1) return diagonal(dr, df);
  return 0;
}

// A rook walks the file toward the king when it stands nearly in front of or behind it, the
// rank when it stands nearly beside it.
constexpr int rookStepRule(int dr, int df) {
  const int r = absolute(dr), f = absolute(df);
  if ((r >= 3 && f <= 2) || (r == 2 && f <= 1)) return vertical(dr);
  if ((r <= 1 && f >= 2) || (r == 2 && f >= 3)) return horizontal(df);
  return 0;
}

constexpr int queenStepRule(int dr, int df) {
  const int r = absolute(dr), f = absolute(df);
  if (r >= 3 && f <= 1) return vertical(dr);
  if ((r >= 3 && f >= 2 && f >= r - 2 && f <= r + 1) || (r == 2 && f == 3)) return diagonal(dr, df);
  if (r <= 1 && f >= 3) return horizontal(df);
  return 0;
}

// Steps of a walk from an attacker at (dr, df) from the king with unit step `step` to the first
// square whose own offset (dr, df) has a nonzero entry in `line`; 0 when the walk never meets
// one within the board's reach.
constexpr int walkLengthRule(const int8_t (&line)[240], int dr, int df, int step) {
  if (step == 0) return 0;
  const int sr = step > 8 ? 1 : step < -8 ? -1 : 0;
  const int sf = step - 16 * sr;
  for (int k = 1;; ++k) {
    const int r = dr - k * sr, f = df - k * sf;
    if (absolute(r) > 7 || absolute(f) > 7) return 0;
    if (line[r * 16 + f + 120] != 0) return k;
  }
}

constexpr KingAttackTables buildKingAttackTables() {
  KingAttackTables t{};
  for (int dr = -7; dr <= 7; ++dr) {
    for (int df = -7; df <= 7; ++df) {
      const int i = dr * 16 + df + 120;
      t.knightTropism[i] = int8_t(knightTropismRule(dr, df));
      t.bishopLine[i] = int8_t(bishopLineRule(dr, df));
      t.rookLine[i] = int8_t(rookLineRule(dr, df));
      t.queenLine[i] = int8_t(queenLineRule(dr, df));
      t.bishopStep[i] = int8_t(bishopStepRule(dr, df));
      t.rookStep[i] = int8_t(rookStepRule(dr, df));
      t.queenStep[i] = int8_t(queenStepRule(dr, df));
    }
  }
  // The walks end on the bishop table's squares for bishops, on the rook table's for the others.
  for (int dr = -7; dr <= 7; ++dr) {
    for (int df = -7; df <= 7; ++df) {
      const int i = dr * 16 + df + 120;
      t.bishopWalk[i] = int8_t(walkLengthRule(t.bishopLine, dr, df, t.bishopStep[i]));
      t.rookWalk[i] = int8_t(walkLengthRule(t.rookLine, dr, df, t.rookStep[i]));
      t.queenWalk[i] = int8_t(walkLengthRule(t.rookLine, dr, df, t.queenStep[i]));
    }
  }
  return t;
}

}  // namespace

constinit const KingAttackTables kingAttack = buildKingAttackTables();

// Shelter: what an own pawn is worth to a king in each zone, by the pawn's square. The pawns of
// the king's wing near their start rank count most (the b- and g-pawns hold the long diagonal of
// a castled king); pawns far up the board or on the other wing count little or against it.
EVAL_DATA SquareTable shelterTable[3] = {
    {
        // zone 0: king on a..c
        {0, 0, 0, 0, 0, 0, 0, 0},
        {28, -35, -26, -16, 23, 14, -21, -33},
        {12, -2, -8, -12, -2, 12, -16, -12},
        {5, -10, -1, -2, -5, -2, -6, -7},
        {5, 14, 8, 3, 4, 2, -8, -7},
        {9, 16, 9, 0, 4, -5, -13, -12},
        {6, 20, 14, -8, -7, -4, -13, -10},
        {0, 0, 0, 0, 0, 0, 0, 0},
    },
    {
        // zone 1: king on d..e
        {0, 0, 0, 0, 0, 0, 0, 0},
        {-17, -34, -27, -18, -18, -27, -34, -17},
        {-23, -24, -8, -7, -7, -8, -24, -23},
        {-5, -9, -8, -8, -8, -8, -9, -5},
        {-8, -3, 5, 2, 2, 5, -3, -8},
        {-9, -7, 0, 9, 9, 0, -7, -9},
        {-9, -7, 3, 5, 5, 3, -7, -9},
        {0, 0, 0, 0, 0, 0, 0, 0},
    },
    {
        // zone 2: king on f..h
        {0, 0, 0, 0, 0, 0, 0, 0},
        {-27, -20, -17, -18, -6, -18, -2, 7},
        {-17, -29, -8, -9, -2, -16, -1, -11},
        {-3, -14, -11, -7, -7, 1, -2, 5},
        {-6, -6, -2, 0, 2, 9, 8, 7},
        {-9, -14, -7, 2, 4, 5, 18, 7},
        {-6, -13, -7, -7, -1, 19, 20, 8},
        {0, 0, 0, 0, 0, 0, 0, 0},
    },
};

// Storm: an enemy pawn is most dangerous two steps from the king's rank (row 2 of its own view,
// i.e. the defender's third rank), where it attacks the shelter; a step further it is mostly
// blocked and counts for less, or against. Zone 1 (a king in the middle) looks at the files c..f
// that the central king hides behind. A square of value 0 takes no part, not even by contact or
// lever.
EVAL_DATA SquareTable stormTable[3] = {
    {
        // zone 0: storm on files a..d
        {0, 0, 0, 0, 0, 0, 0, 0},
        {-13, -26, -19, 0, 0, 0, 0, 0},
        {25, 20, 37, 15, 0, 0, 0, 0},
        {0, 9, 8, 14, 0, 0, 0, 0},
        {0, 4, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
    },
    {
        // zone 1: storm on files c..f
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 25, 23, 23, 25, 0, 0},
        {0, 0, 0, 11, 11, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
    },
    {
        // zone 2: storm on files e..h
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 15, -18, -19, 0},
        {0, 0, 0, 0, -3, 30, 23, 14},
        {0, 0, 0, 0, 16, 6, 0, 0},
        {0, 0, 0, 0, 0, 0, 6, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
    },
};

MELVOK_EVAL_END
