#pragma once
// Pieces shared by the full and the staged move generators: step orders and list walks.
#include "board/position.h"

namespace generator {

constexpr int PromotionOrder[4] = {Queen, Knight, Rook, Bishop};
constexpr int KnightOrder[8] = {-33, -31, -18, -14, 14, 18, 31, 33};

// The direction order of each slider kind, as a type (for generators that take the directions
// as template arguments) and as an array.
template <int... Dirs>
struct Lines {
  static constexpr int directions[sizeof...(Dirs)] = {Dirs...};
};
using BishopLines = Lines<15, 17, -15, -17>;
using RookLines = Lines<1, -1, 16, -16>;
using QueenLines = Lines<15, 17, -15, -17, 1, -1, 16, -16>;
inline constexpr auto& BishopDirections = BishopLines::directions;
inline constexpr auto& RookDirections = RookLines::directions;
inline constexpr auto& QueenDirections = QueenLines::directions;

inline Move moveWord(int from, int to, int captured) { return makeMoveWord(from, to, captured); }
inline bool isEnemy(int piece, int enemyBase) { return (piece & 0xC0) == enemyBase; }

// The rank on which a pawn of `side` stands before promoting, and its start rank.
inline int prePromotionRank(int side) { return side == White ? 6 : 1; }
inline int startRank(int side) { return side == White ? 1 : 6; }

inline Move* addPromotions(Move* list, Move base, const int (&order)[4]) {
  for (int kind : order) *list++ = base | (Move(kind) << 24);
  return list;
}

// Pawn captures toward the lower file, then the higher file; on the rank before promotion
// each capture comes as its promotions in `order`.
inline Move* pawnCaptures(const Position& pos, Move* list, int from, int side,
                          const int (&order)[4]) {
  const int enemyBase = colourBase(side ^ 1);
  const int forward = pawnStep[side];
  const bool promoting = rankOf(from) == prePromotionRank(side);
  for (int to : {from + forward - 1, from + forward + 1}) {
    int target = pos.at(to);
    if (!isEnemy(target, enemyBase)) continue;
    Move m = moveWord(from, to, target);
    if (promoting)
      list = addPromotions(list, m, order);
    else
      *list++ = m;
  }
  return list;
}

// Calls visit(square) for every live piece of a kind's list, in list order.
template <typename Visit>
inline void forEachPiece(const Position& pos, int side, int firstSlot, Visit visit) {
  const uint8_t* squares = pos.pieceSquare + colourBase(side);
  for (int slot = firstSlot; squares[slot] != NoSquare; slot++)
    if (!(squares[slot] & 0x88)) visit(int(squares[slot]));
}

// Whether every file of the mask is empty on the back rank.
inline bool backRankFilesEmpty(const Position& pos, int rank, uint8_t files) {
  for (int f = 0; f < 8; f++)
    if ((files >> f & 1) && pos.at(squareOf(f, rank)) != Empty) return false;
  return true;
}

}  // namespace generator
