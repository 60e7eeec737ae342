#include "eval/exchange.h"

#include <algorithm>

MELVOK_EVAL_BEGIN

namespace {

constexpr int LineBits = 0x30;  // diagonal and orthogonal slider bits of the attack masks
// A king is never captured: a king that ends up capturable marks an illegal line, so it is
// valued far above everything else.
constexpr int KingValue = 100;
constexpr int QueenPromotionGain = 8;

inline int unitsOf(int piece) { return tables.unitsOfSlot[slotOf(piece)]; }

inline bool isKingNumber(int piece) { return slotOf(piece) == KingSlot; }

// Whether every square strictly between `from` and `to` (on one line) is empty; `transparent`
// counts as empty.
inline bool lineClear(const Position& pos, int from, int to, int transparent) {
  const int step = directionOf(to - from);
  for (int sq = from + step; sq != to; sq += step) {
    if (pos.at(sq) != Empty && sq != transparent) return false;
  }
  return true;
}

inline void append(AttackerList& list, int square, int value) {
  if (list.count < 16) list.entry[list.count++] = Attacker{uint8_t(square), uint8_t(value)};
}

// The bishops, rooks or queens of `side` attacking `target`: each kind has its own slot range,
// attack bits and value, so the loop needs no per-piece table look-ups.
template <int Kind, int side>
inline void collectSliders(AttackerList& list, const Position& pos, int target, int transparent,
                           int hidden) {
  constexpr int lineBits = Kind == Queen ? 0x30 : Kind == Rook ? 0x20 : 0x10;
  constexpr int value = Kind == Queen ? 10 : Kind == Rook ? 5 : 3;
  const int first = colourBase(side) + kindFirstSlot[Kind];
  for (int n = first; pos.pieceSquare[n] != NoSquare; ++n) {
    const int sq = pos.pieceSquare[n];
    if (sq & 0x88) continue;  // captured
    if ((attackMaskOf(target - sq) & lineBits) && n != hidden && sq != transparent &&
        lineClear(pos, sq, target, transparent))
      append(list, sq, value);
  }
}

// The attackers of `target` for `side`, treating `transparent` as an empty square and leaving
// out the piece numbered `hidden`. One instance per side: piece numbers and pawn steps are
// constants.
template <int side>
int collect(AttackerList& list, const Position& pos, int target, int transparent, int hidden) {
  list.count = 0;
  collectSliders<Queen, side>(list, pos, target, transparent, hidden);
  collectSliders<Rook, side>(list, pos, target, transparent, hidden);
  collectSliders<Bishop, side>(list, pos, target, transparent, hidden);
  const int base = colourBase(side);
  for (int n = base + KnightSlot; pos.pieceSquare[n] != NoSquare; ++n) {
    const int sq = pos.pieceSquare[n];
    if (sq & 0x88) continue;
    if ((attackMaskOf(target - sq) & 0x08) && n != hidden && sq != transparent) append(list, sq, 3);
  }
  // Pawns capture forward: the squares diagonally behind the target, lower file first.
  const int behind = -pawnStep[side];
  for (int sq : {target + behind - 1, target + behind + 1}) {
    const int piece = pos.at(sq);
    if ((piece & 0xF8) != colourBase(side) + PawnSlot) continue;  // a pawn of `side` (slots 8..15)
    if (piece == hidden || sq == transparent || pos.pieceSquare[piece] != sq) continue;
    append(list, sq, 1);
  }
  return list.count;
}

// Inserts behind every entry of equal or higher value; the cheapest is taken from the end, so
// among equal values the newest goes first.
void insertByValue(AttackerList& list, int square, int value) {
  if (list.count >= 16) return;
  int i = list.count;
  while (i > 0 && list.entry[i - 1].value < value) {
    list.entry[i] = list.entry[i - 1];
    --i;
  }
  list.entry[i] = Attacker{uint8_t(square), uint8_t(value)};
  ++list.count;
}

// The first piece behind `sq` on the line from `target` through `sq`, if it is a slider that
// attacks `target` along that line; -1 otherwise.
int revealedBehind(const Position& pos, int target, int sq) {
  const int diff = sq - target;
  if (!(attackMaskOf(diff) & LineBits)) return -1;
  const int step = directionOf(diff);
  int s = sq + step;
  while (pos.at(s) == Empty) s += step;
  const int piece = pos.at(s);
  if (piece == Guard) return -1;
  if (!(tables.pieceMask[piece] & attackMaskOf(target - s) & LineBits)) return -1;
  return s;
}

inline bool kingNextTo(const Position& pos, int side, int target) {
  return (attackMaskOf(target - pos.kingSquare(side)) & 0x04) != 0;
}

// The exchange of move m (from, to) for `mover`, whose piece (or nothing, for a probe) stands
// on the origin.
template <int mover>
int exchangeFor(const Position& pos, Move m, int from, int to, int moving) {
  constexpr int opponent = mover ^ 1;
  const bool probe = moving == Empty;

  AttackerList lists[2];
  // With the origin emptied, sliders of the opponent behind the moving piece attack too.
  collect<opponent>(lists[opponent], pos, to, from, -1);

  const bool queenPromotion = movePromotion(m) == Queen;
  const int gain =
      tables.unitsOfSlot[slotOf(moveCaptured(m))] + (queenPromotion ? QueenPromotionGain : 0);
  bool kingAvailable[2] = {kingNextTo(pos, White, to), kingNextTo(pos, Black, to)};
  if (lists[opponent].count == 0 && !kingAvailable[opponent]) return gain;

  int onTarget;  // value of the piece that now stands on the target
  if (probe) {
    const int occupant = pos.at(to);
    onTarget = (occupant != Empty && colourOf(occupant) == mover) ? unitsOf(occupant) : 0;
    collect<mover>(lists[mover], pos, to, -1, -1);
  } else {
    collect<mover>(lists[mover], pos, to, -1, moving);
    const int xray = revealedBehind(pos, to, from);
    if (xray >= 0 && colourOf(pos.at(xray)) == mover)
      insertByValue(lists[mover], xray, unitsOf(pos.at(xray)));
    if (isKingNumber(moving)) {
      onTarget = KingValue;
      kingAvailable[mover] = false;
    } else {
      onTarget = queenPromotion ? 10 : unitsOf(moving);
    }
  }

  // s[k]: what the side making capture k gains if it captures and the exchange stops there; the
  // last entry is always the speculative next capture.
  int s[40];
  s[0] = gain;
  s[1] = onTarget - gain;
  int n = 2;
  int toCapture = opponent;
  while (n < 40) {
    AttackerList& own = lists[toCapture];
    const int other = toCapture ^ 1;
    int capturer;
    if (own.count > 0) {
      const Attacker a = own.entry[--own.count];
      capturer = a.value;
      const int xray = revealedBehind(pos, to, a.square);
      if (xray >= 0) {
        const int piece = pos.at(xray);
        insertByValue(lists[colourOf(piece)], xray, unitsOf(piece));
      }
    } else if (lists[other].count == 0 && kingAvailable[toCapture] && !kingAvailable[other]) {
      // The king only takes when nothing can recapture, and not into a slider's x-ray.
      const int behind = revealedBehind(pos, to, pos.kingSquare(toCapture));
      if (behind >= 0 && colourOf(pos.at(behind)) == other) break;
      capturer = KingValue;
      kingAvailable[toCapture] = false;
    } else {
      break;
    }
    s[n] = capturer - s[n - 1];
    ++n;
    toCapture = other;
  }

  for (int k = n - 3; k >= 0; --k) s[k] = std::min(s[k], -s[k + 1]);
  return s[0] < 0 ? s[0] : gain;
}

}  // namespace

int collectAttackers(AttackerList& list, const Position& pos, int side, int target) {
  return side == White ? collect<White>(list, pos, target, -1, -1)
                       : collect<Black>(list, pos, target, -1, -1);
}

int staticExchange(const Position& pos, int side, Move m) {
  if (m & MoveCastle) return 0;
  const int from = moveFrom(m);
  const int to = moveTo(m);
  const int moving = pos.at(from);
  const int mover =
      moving == Empty ? side ^ 1 : side;  // an empty origin probes the square for the other side
  return mover == White ? exchangeFor<White>(pos, m, from, to, moving)
                        : exchangeFor<Black>(pos, m, from, to, moving);
}

MELVOK_EVAL_END
