// The occupancy rays against plain walks over the mailbox, on positions from random play.
#include "board/rays.h"

#include <gtest/gtest.h>

#include <type_traits>

#include "support/positions.h"

namespace {

struct Walk {
  int square;
  int piece;
  int empty;
  uint64_t emptySquares;
};

Walk walk(const Position& pos, int from, int dir) {
  Walk w{from + dir, 0, 0, 0};
  while (pos.at(w.square) == Empty) {
    w.emptySquares |= squareBit(w.square);
    w.empty++;
    w.square += dir;
  }
  w.piece = pos.at(w.square);
  return w;
}

template <int Dir>
void expectRayMatchesWalk(const Position& pos, int from, const std::string& fen) {
  const Walk expected = walk(pos, from, Dir);
  const RayHit hit = firstOnRay<Dir>(pos, from);
  const std::string where = fen + " from " + std::to_string(from) + " dir " + std::to_string(Dir);
  ASSERT_EQ(hit.piece, expected.piece) << where;
  ASSERT_EQ(hit.empty, expected.empty) << where;
  if (expected.piece != Guard) {
    ASSERT_EQ(hit.square, expected.square) << where;
  }
  ASSERT_EQ(emptyOnRay<Dir>(pos, from), expected.emptySquares) << where;
}

template <int... Dirs>
void expectAllRays(const Position& pos, int from, const std::string& fen) {
  (expectRayMatchesWalk<Dirs>(pos, from, fen), ...);
}

TEST(Rays, FirstPieceAndEmptySquaresMatchAWalkFromEverySquare) {
  int positions = 0;
  for (const std::string& fen : randomPlayFens(30, 100, 7)) {
    Position pos;
    ASSERT_TRUE(setFen(pos, fen.c_str())) << fen;
    ASSERT_EQ(pos.occupied, computeOccupancy(pos)) << fen;
    for (int sq = 0; sq < 128; sq++)
      if (onBoard(sq)) expectAllRays<1, 15, 16, 17, -1, -15, -16, -17>(pos, sq, fen);
    positions++;
  }
  EXPECT_GT(positions, 1000);
}

}  // namespace
