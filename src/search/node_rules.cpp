#include "search/node_rules.h"

#include "eval/exchange.h"

namespace {

// Attack bits of a promoted piece by promotion kind.
constexpr uint8_t promotionMask[8] = {0, 0, 0x08, 0, 0, 0x10, 0x20, 0x30};

}  // namespace

bool losingDirectCheck(const Position& pos, Move lastMove) {
  if ((lastMove & MoveCheckFlags) != MoveDirectCheck) return false;
  // The checker's origin is empty now, which makes this a probe of its square: the side in
  // check captures first.
  return staticExchange(pos, int(pos.sideToMove), lastMove) < 0;
}

bool checkTest(const Position& pos, Move& m, int king) {
  const int from = moveFrom(m), to = moveTo(m);
  const int piece = pos.at(from);
  uint8_t mask = tables.pieceMask[piece] & 0x3B;  // a king never gives direct check
  if (movePromotion(m)) mask = promotionMask[movePromotion(m)];

  // Direct check from the target square.
  if (mask & attackMaskOf(king - to)) {
    if ((mask & 0x30) == 0) return true;  // pawn, knight (kings never check)
    const int step = directionOf(king - to);
    int blockers = 0, blocker = 0;
    for (int sq = to + step; sq != king; sq += step) {
      int b = pos.at(sq);
      if (b == Empty || sq == from) continue;
      blockers++;
      blocker = b;
      if (blockers > 1) break;
    }
    if (blockers == 0) return true;
    if (blockers == 1 && slotOf(blocker) >= KnightSlot) {
      m |= MoveBatteryCheck;
      return true;
    }
  }

  // Discovered check: the origin leaves a line between the king and one of our sliders.
  return opensLineToKing(pos, from, to, king, colourOf(piece));
}

bool reversalDraw(const Position& pos, int ply, int beta, Move* pvLine) {
  if (beta > 0 || ply < 3 || pos.fiftyMoveCount() <= 2) return false;
  const Move m1 = pos.moveHistory[pos.ply - 1];
  const Move m2 = pos.moveHistory[pos.ply - 2];
  const Move m3 = pos.moveHistory[pos.ply - 3];
  if (!m1 || !m2 || !m3) return false;
  if (moveFrom(m1) != moveTo(m3) || moveTo(m1) != moveFrom(m3)) return false;
  if (m2 & MoveCastle) return false;
  const int to2 = moveTo(m2);
  if (directionOf(to2 - moveFrom(m3)) == directionOf(to2 - moveFrom(m2))) return false;
  pvLine[0] = makeMoveWord(to2, moveFrom(m2));
  pvLine[1] = 0;
  return true;
}

bool materialDraw(const Position& pos) {
  const uint32_t w = pos.material[White], b = pos.material[Black];
  // Pawns, rooks and queens live in bits 8..11, 20..23 and 24..27.
  if (((w | b) & 0x0FF00F00) != 0) return false;
  return officerCount(w) + officerCount(b) <= 1;
}

bool repetitionDraw(const Position& pos, int ply) {
  const int oldest = pos.lastIrreversible;
  int i = int(pos.ply) - 4;
  for (; i >= oldest; i -= 2) {
    if (pos.keyHistory[i] == pos.hashKey) break;
  }
  if (i < oldest) return false;
  if (ply > 3) return true;
  // Close to the root a single repetition may be the opponent's choice: ask for a second one.
  for (i -= 4; i >= oldest; i -= 2) {
    if (pos.keyHistory[i] == pos.hashKey) return true;
  }
  return false;
}

bool mateDistancePrune(int ply, int& alpha, int beta, bool inCheck, int& score) {
  if (alpha > MateBound && alpha >= Infinity - 1 - ply) {
    score = Infinity - 1 - ply;
    return true;
  }
  if (beta < -MateBound) {
    int worst = ply - (Infinity - 2);
    if (inCheck && alpha < worst) worst = ply - Infinity;
    if (worst >= beta) {
      score = worst;
      return true;
    }
    if (worst > alpha) alpha = worst;
  }
  return false;
}

bool tableCut(int s, int d, int bound, int depth, int alpha, int beta) {
  if (depth <= d) {
    if (bound == BoundLower) return s >= beta;
    if (bound == BoundUpper) return s <= alpha;
    return true;
  }
  if (s >= WinBound && bound != BoundUpper) return s >= beta;
  if (s <= -WinBound && bound != BoundLower) return s < alpha;
  return false;
}
