// Staged generators for the search: captures, quiet moves, king steps and checking moves,
// produced separately so that a node can stop after the first stage that cuts off.
// They do not test pins: the search tests each move with isPinnedMove before playing it.
#include <algorithm>
#include <type_traits>

#include "board/generator_support.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/rays.h"

namespace {

using namespace generator;

struct SliderKind {
  int firstSlot;
  const int* directions;
  int count;
};
constexpr SliderKind Sliders[3] = {{BishopSlot, BishopDirections, 4},
                                   {RookSlot, RookDirections, 4},
                                   {QueenSlot, QueenDirections, 8}};

// Calls found(blocker, dir) for every own piece that stands alone between one of our sliders and
// the enemy king, `dir` the step from the slider towards the king: moving it off the line checks.
template <class Found>
void forEachDiscoveryBlocker(const Position& pos, Found found) {
  const int side = int(pos.sideToMove);
  const int own = colourBase(side);
  const int enemyKing = pos.kingSquare(side ^ 1);
  for (int slot = BishopSlot; slot < QueenEnd; slot++) {
    int sq = pos.pieceSquare[own + slot];
    if (sq == NoSquare || (sq & 0x88)) continue;
    int diff = enemyKing - sq;
    if (!(tables.pieceMask[own + slot] & attackMaskOf(diff) & 0x30)) continue;
    int dir = directionOf(diff);
    int blocker = sq + dir;
    while (pos.at(blocker) == Empty) blocker += dir;
    if (blocker == enemyKing || (pos.at(blocker) & 0xC0) != own) continue;
    int behind = blocker + dir;
    while (pos.at(behind) == Empty) behind += dir;
    if (behind == enemyKing) found(blocker, dir);
  }
}

// Whether a blocker moving to `to` leaves the line `dir` to the enemy king (and so uncovers it).
bool leavesLine(int enemyKing, int to, int dir) { return directionOf(enemyKing - to) != dir; }

// Check flags a piece of kind `mask` standing on `sq` would give the king: direct check,
// a battery check (the line is blocked only by a rook or queen right in front of the king),
// or none.
Move checkFrom(const Position& pos, uint8_t mask, int sq, int king) {
  int diff = king - sq;
  if (!(mask & attackMaskOf(diff) & 0x3F)) return 0;
  if (!(mask & 0x30)) return MoveDirectCheck;
  int dir = directionOf(diff);
  int s = sq + dir;
  while (pos.at(s) == Empty) s += dir;
  if (s == king) return MoveDirectCheck;
  int blockerKind = tables.kindOfSlot[slotOf(pos.at(s))];
  if (s + dir == king && (blockerKind == Rook || blockerKind == Queen)) return MoveBatteryCheck;
  return 0;
}

// The capture at the end of each line from `from`, in the order of Dirs. The move is written
// always and kept only when the first piece on the line is an enemy: no branch to mispredict.
template <int... Dirs>
inline Move* lineCaptures(const Position& pos, Move* list, int from, int enemyBase,
                          Lines<Dirs...>) {
  auto capture = [&](RayHit hit) {
    *list = moveWord(from, hit.square, hit.piece);
    list += isEnemy(hit.piece, enemyBase);
  };
  (capture(firstOnRay<Dirs>(pos, from)), ...);
  return list;
}

// Quiet checking moves of a slider (attack bits `mask`) along the lines from `from`, in the
// order of Dirs and, along each line, outward. Only squares on a line through the enemy king
// can give check; each of those is tested with checkFrom.
template <int... Dirs>
inline Move* lineChecks(const Position& pos, Move* list, int from, uint8_t mask, int enemyKing,
                        Lines<Dirs...>) {
  const uint64_t kingLines = lineSquares(enemyKing, mask);
  auto along = [&](auto dir) {
    constexpr int Dir = decltype(dir)::value;
    for (uint64_t candidates = emptyOnRay<Dir>(pos, from) & kingLines; candidates;) {
      const int bit = Dir > 0 ? __builtin_ctzll(candidates) : 63 - __builtin_clzll(candidates);
      candidates ^= 1ull << bit;
      const int to = squareOfBit(bit);
      // Moving along the line toward the king never uncovers a new check from here.
      if (Move flags = checkFrom(pos, mask, to, enemyKing)) *list++ = moveWord(from, to, 0) | flags;
    }
  };
  (along(std::integral_constant<int, Dirs>{}), ...);
  return list;
}

// Calls visit(from, lines, attack bits) for each bishop, rook and queen of `side`, in that order.
template <typename Visit>
inline void forEachSlider(const Position& pos, int side, Visit visit) {
  forEachPiece(pos, side, BishopSlot, [&](int from) { visit(from, BishopLines{}, uint8_t(0x10)); });
  forEachPiece(pos, side, RookSlot, [&](int from) { visit(from, RookLines{}, uint8_t(0x20)); });
  forEachPiece(pos, side, QueenSlot, [&](int from) { visit(from, QueenLines{}, uint8_t(0x30)); });
}

}  // namespace

Move* generateCaptures(const Position& pos, Move* list) {
  const int side = int(pos.sideToMove);
  const int enemyBase = colourBase(side ^ 1);
  const int forward = pawnStep[side];
  const uint8_t ownPawn = side == White ? 0x41 : 0x82;
  if (pos.epSquare) {
    int captured = pos.epSquare ^ 16;
    for (int from : {captured - 1, captured + 1})
      if (tables.pieceMask[pos.at(from)] == ownPawn)
        *list++ = moveWord(from, pos.epSquare, pos.at(captured)) | MoveEnPassant;
  }
  forEachPiece(pos, side, PawnSlot, [&](int from) {
    list = pawnCaptures(pos, list, from, side, PromotionOrder);
    bool promoting = rankOf(from) == prePromotionRank(side);
    if (promoting && pos.at(from + forward) == Empty)
      list = addPromotions(list, moveWord(from, from + forward, 0), PromotionOrder);
  });
  forEachPiece(pos, side, KnightSlot, [&](int from) {
    for (int jump : KnightOrder)
      if (isEnemy(pos.at(from + jump), enemyBase))
        *list++ = moveWord(from, from + jump, pos.at(from + jump));
  });
  forEachSlider(pos, side, [&](int from, auto lines, uint8_t) {
    list = lineCaptures(pos, list, from, enemyBase, lines);
  });
  int king = pos.kingSquare(side);
  for (int step : kingSteps) {
    int to = king + step;
    if (isEnemy(pos.at(to), enemyBase) && !isAttacked(pos, side ^ 1, to))
      *list++ = moveWord(king, to, pos.at(to));
  }
  return list;
}

Move* generateQuiets(const Position& pos, Move* list) {
  const int side = int(pos.sideToMove);
  const int rank = side == White ? 0 : 7;
  const int king = pos.kingSquare(side);
  auto filesEmpty = [&](uint8_t files) { return backRankFilesEmpty(pos, rank, files); };
  if ((pos.castleRights & (side == White ? WhiteKingSide : BlackKingSide)) &&
      filesEmpty(pos.castle.kingSideEmptyFiles))
    *list++ = moveWord(king, squareOf(6, rank), 0) | MoveCastle;
  if ((pos.castleRights & (side == White ? WhiteQueenSide : BlackQueenSide)) &&
      filesEmpty(pos.castle.queenSideEmptyFiles))
    *list++ = moveWord(king, squareOf(2, rank), 0) | MoveCastle;

  forEachPiece(pos, side, KnightSlot, [&](int from) {
    for (int jump : KnightOrder)
      if (pos.at(from + jump) == Empty) *list++ = moveWord(from, from + jump, 0);
  });
  for (const SliderKind& kind : Sliders)
    forEachPiece(pos, side, kind.firstSlot, [&](int from) {
      for (int i = 0; i < kind.count; i++)
        for (int to = from + kind.directions[i]; pos.at(to) == Empty; to += kind.directions[i])
          *list++ = moveWord(from, to, 0);
    });
  const int forward = pawnStep[side];
  forEachPiece(pos, side, PawnSlot, [&](int from) {
    if (rankOf(from) == prePromotionRank(side) || pos.at(from + forward) != Empty) return;
    *list++ = moveWord(from, from + forward, 0);
    if (rankOf(from) == startRank(side) && pos.at(from + 2 * forward) == Empty)
      *list++ = moveWord(from, from + 2 * forward, 0) | MoveDoublePush;
  });
  return list;
}

Move* generateKingQuiets(const Position& pos, Move* list) {
  const int side = int(pos.sideToMove);
  const int king = pos.kingSquare(side);
  for (int step : kingSteps) {
    int to = king + step;
    if (pos.at(to) == Empty && !isAttacked(pos, side ^ 1, to)) *list++ = moveWord(king, to, 0);
  }
  return list;
}

Move* generateQuietChecks(const Position& pos, Move* list) {
  Move* const first = list;
  const int side = int(pos.sideToMove);
  const int enemyKing = pos.kingSquare(side ^ 1);
  const int forward = pawnStep[side];
  const uint8_t pawnMask = side == White ? 0x01 : 0x02;
  forEachPiece(pos, side, PawnSlot, [&](int from) {
    if (rankOf(from) == prePromotionRank(side) || pos.at(from + forward) != Empty) return;
    if (attackMaskOf(enemyKing - (from + forward)) & pawnMask)
      *list++ = moveWord(from, from + forward, 0) | MoveDirectCheck;
    int twoAhead = from + 2 * forward;
    if (rankOf(from) == startRank(side) && pos.at(twoAhead) == Empty &&
        (attackMaskOf(enemyKing - twoAhead) & pawnMask))
      *list++ = moveWord(from, twoAhead, 0) | MoveDoublePush | MoveDirectCheck;
  });
  forEachPiece(pos, side, KnightSlot, [&](int from) {
    for (int jump : KnightOrder) {
      int to = from + jump;
      if (pos.at(to) == Empty && (attackMaskOf(enemyKing - to) & 0x08))
        *list++ = moveWord(from, to, 0) | MoveDirectCheck;
    }
  });
  forEachSlider(pos, side, [&](int from, auto lines, uint8_t mask) {
    list = lineChecks(pos, list, from, mask, enemyKing, lines);
  });
  // A move that checks both directly and by discovery is the discovered-check generator's.
  forEachDiscoveryBlocker(pos, [&](int blocker, int dir) {
    list = std::remove_if(first, list, [&](Move m) {
      return moveFrom(m) == blocker && leavesLine(enemyKing, moveTo(m), dir);
    });
  });
  return list;
}

Move* generateDiscoveredChecks(const Position& pos, Move* list) {
  const int side = int(pos.sideToMove);
  const int enemyKing = pos.kingSquare(side ^ 1);
  forEachDiscoveryBlocker(pos, [&](int blocker, int dir) {
    // The single own piece between slider and king: its quiet moves that leave the line.
    int piece = pos.at(blocker);
    int kind = tables.kindOfSlot[slotOf(piece)];
    auto add = [&](int to, Move extra) {
      if (leavesLine(enemyKing, to, dir))
        *list++ = moveWord(blocker, to, 0) | MoveDiscoveredCheck | extra;
    };
    if (kind == Pawn) {
      int forward = pawnStep[side];
      if (rankOf(blocker) != prePromotionRank(side) && pos.at(blocker + forward) == Empty) {
        add(blocker + forward, 0);
        if (rankOf(blocker) == startRank(side) && pos.at(blocker + 2 * forward) == Empty)
          add(blocker + 2 * forward, MoveDoublePush);
      }
    } else if (kind == Knight) {
      for (int jump : KnightOrder)
        if (pos.at(blocker + jump) == Empty) add(blocker + jump, 0);
    } else if (kind == King) {
      for (int step : kingSteps)
        if (pos.at(blocker + step) == Empty && !isAttacked(pos, side ^ 1, blocker + step))
          add(blocker + step, 0);
    } else {
      const SliderKind& slider = Sliders[kind == Bishop ? 0 : kind == Rook ? 1 : 2];
      for (int i = 0; i < slider.count; i++)
        for (int to = blocker + slider.directions[i]; pos.at(to) == Empty;
             to += slider.directions[i])
          add(to, 0);
    }
  });
  return list;
}
