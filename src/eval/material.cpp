// The material imbalance: what a mix of pieces is worth beyond the sum of their units (the
// bishop pair, minor pieces against a rook, a queen against rooks), scaled by the pawns left.
#include <algorithm>

#include "eval/eval_tables.h"
#include "eval/evaluator.h"

MELVOK_EVAL_BEGIN

namespace {

struct Counts {
  int pawns, knights, bishops, rooks, queens, units;
  int minors() const { return knights + bishops; }
  int majors() const { return std::min(7, rooks + 3 * queens); }
  explicit Counts(uint32_t m)
      : pawns(pawnCount(m)),
        knights(knightCount(m)),
        bishops(bishopCount(m)),
        rooks(rookCount(m)),
        queens(queenCount(m)),
        units(pieceUnits(m)) {}
};

// The side with the queen against rooks or minors, from that side's view (`q` has the queen).
Score queenAgainst(const Counts& q, const Counts& o) {
  if (o.rooks == q.rooks + 1) return at(queenVsRook, q.rooks) + at(queenVsRookPawns, q.pawns);
  if (o.rooks == q.rooks + 2) return at(queenVsTwoRooks, q.minors());
  if (o.rooks == q.rooks && o.minors() >= q.minors() + 3) return -ThreeMinorsVsQueen;
  return 0;
}

// Minor pieces against a rook, by the minors difference (White minus Black); White's view.
Score minorsAgainstRook(const Counts& w, const Counts& b) {
  const int diff = w.minors() - b.minors();
  const bool knightsDiffer = w.knights != b.knights;
  switch (diff) {
    case 2:
      return at(twoMinorsVsRook, w.majors());
    case -2:
      return -at(twoMinorsVsRook, b.majors());
    case 1:
      if (b.pawns + 1 < w.pawns)
        return -(knightsDiffer ? at(minorVsRookA, b.majors()) : at(minorVsRookB, b.majors()));
      return -(knightsDiffer ? at(minorVsRookC, b.majors()) : at(minorVsRookD, b.majors()));
    case -1:
      if (w.pawns + 1 < b.pawns)
        return knightsDiffer ? at(minorVsRookA, w.majors()) : at(minorVsRookB, w.majors());
      return knightsDiffer ? at(minorVsRookC, w.majors()) : at(minorVsRookD, w.majors());
    default:
      return 0;
  }
}

// More bishops than the other side with the same majors, from the long side's view: `l` has
// more bishops than `s`. Indexed by the long side's major-piece weight.
Score bishopSurplus(const Counts& l, const Counts& s) {
  const int majors = l.majors();
  if (l.knights == 0) {
    if (s.bishops > 0) return at(extraBishop, majors);
    return l.bishops >= 2 ? at(bishopPairVsNone, majors) : at(loneBishopVsNone, majors);
  }
  return s.bishops > 0 ? at(bishopVsKnightA, majors) : at(bishopVsKnightB, majors);
}

// Minor pieces up with the majors equal; White's view.
Score minorSurplus(const Counts& w, const Counts& b) {
  if (w.minors() < b.minors())
    return -(w.bishops >= b.bishops ? at(minorUpA, b.majors()) : at(minorUpB, b.majors()));
  if (w.minors() > b.minors())
    return w.bishops <= b.bishops ? at(minorUpA, w.majors()) : at(minorUpB, w.majors());
  return 0;
}

}  // namespace

Score materialImbalance(uint32_t white, uint32_t black) {
  if (white == black) return 0;
  const Counts w(white), b(black);

  // Piece values that depend on the pawns (equal counts and pawns cancel out).
  Score sum = w.rooks * at(rookByPawns, w.pawns) - b.rooks * at(rookByPawns, b.pawns);
  sum += w.bishops * at(bishopByPawns, w.pawns) - b.bishops * at(bishopByPawns, b.pawns);
  sum += w.knights * at(knightByPawns, w.pawns) - b.knights * at(knightByPawns, b.pawns);

  const bool bishopsDiffer = w.bishops != b.bishops;
  const bool majorsEqual = w.rooks == b.rooks && w.queens == b.queens;
  bool minorsStep = false;
  if (bishopsDiffer && majorsEqual) {
    sum += w.bishops < b.bishops ? -bishopSurplus(b, w) : bishopSurplus(w, b);
    minorsStep = true;
  } else if (!bishopsDiffer && majorsEqual) {
    minorsStep = true;
  } else {
    if (bishopsDiffer) {
      // The bishop pair against a different major-piece mix.
      if (w.bishops >= 2)
        sum += at(extraBishop, b.majors());
      else if (b.bishops >= 2)
        sum -= at(extraBishop, w.majors());
    }
    const bool whiteQueen = w.queens > 0, blackQueen = b.queens > 0;
    if (whiteQueen != blackQueen) {
      sum += whiteQueen ? queenAgainst(w, b) : -queenAgainst(b, w);
    } else {
      sum += minorsAgainstRook(w, b);
    }
  }
  if (minorsStep) sum += minorSurplus(w, b);

  // The side ahead in material decides how much the mix matters.
  const int whiteTotal = w.pawns + w.units, blackTotal = b.pawns + b.units;
  if (whiteTotal == blackTotal) return sum;
  const Counts& ahead = whiteTotal > blackTotal ? w : b;
  sum = sum * at(imbalanceByPawns, ahead.pawns) / 1024;
  return sum * (1024 + ImbalancePerUnit * (16 - ahead.units)) / 1024;
}

MELVOK_EVAL_END
