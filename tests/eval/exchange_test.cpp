// Static exchange evaluation: the outcome of capture sequences on one square, including x-ray
// attackers, the king as the last capturer and probes of empty origins.
#include <gtest/gtest.h>

#include <cstring>

#include "board/notation.h"
#include "eval/eval_test_util.h"
#include "eval/exchange.h"

namespace {

constexpr int sq(const char* name) { return (name[1] - '1') * 16 + (name[0] - 'a'); }

// The exchange value of a move given in text, for the side to move.
int see(const std::string& fen, const char* move) {
  Position& pos = positionFrom(fen);
  const Move m = parseMove(pos, move);
  EXPECT_NE(m, 0u) << move << " in " << fen;
  return staticExchange(pos, int(pos.sideToMove), m & ~MoveCheckFlags);
}

TEST(StaticExchange, CapturesOfDefendedAndUndefendedPieces) {
  // Pawn takes a defended queen: the queen is won whatever follows.
  EXPECT_EQ(see("3rk3/8/8/3q4/4P3/8/8/4K3 w - - 0 1", "exd5"), 10);
  // Queen takes a pawn defended by a pawn: queen for pawn.
  EXPECT_EQ(see("4k3/8/2p5/3p4/8/8/3Q4/4K3 w - - 0 1", "Qxd5"), 1 - 10);
  // An undefended piece is simply won.
  EXPECT_EQ(see("4k3/8/8/3n4/8/8/3R4/4K3 w - - 0 1", "Rxd5"), 3);
  // Knight takes a pawn defended by a pawn: knight for pawn.
  EXPECT_EQ(see("4k3/8/2p5/3p4/8/4N3/8/4K3 w - - 0 1", "Nxd5"), 1 - 3);
  // A quiet move onto a square guarded by a pawn loses the piece.
  EXPECT_EQ(see("4k3/8/2p5/8/8/4N3/8/4K3 w - - 0 1", "Nd5"), -3);
  // A quiet move onto a safe square loses nothing.
  EXPECT_EQ(see("4k3/8/8/8/8/4N3/8/4K3 w - - 0 1", "Nd5"), 0);
}

TEST(StaticExchange, XRayAttackers) {
  // Rook takes rook with a second rook behind it against one defender: the rook is won.
  EXPECT_EQ(see("4r1k1/4r3/8/8/8/8/4R3/4R1K1 w - - 0 1", "Rxe7"), 5);
  // Rook takes a knight defended by a rook; the rook behind the capturer recaptures.
  EXPECT_EQ(see("4r1k1/8/8/4n3/8/8/4R3/4R1K1 w - - 0 1", "Rxe5"), 3);
  // The queen behind the capturing rook makes rook takes pawn (defended by a rook) safe.
  EXPECT_EQ(see("4r1k1/8/8/4p3/8/8/4R3/4Q1K1 w - - 0 1", "Rxe5"), 1);
  // Without it the rook is lost for the pawn.
  EXPECT_EQ(see("4r1k1/8/8/4p3/8/8/4R3/6K1 w - - 0 1", "Rxe5"), 1 - 5);
  // The defender's x-ray: doubled rooks behind the pawn defend it twice.
  EXPECT_EQ(see("4r1k1/4r3/8/4p3/8/8/4R3/4R1K1 w - - 0 1", "Rxe5"), 1 - 5);
  // A bishop behind a recapturing pawn joins the exchange on the diagonal: knight for pawn,
  // pawn back, and the bishop answers the rook (without it: -2).
  EXPECT_EQ(see("3r2k1/8/2p5/3p4/1N2P3/5B2/8/6K1 w - - 0 1", "Nxd5"), -1);
  // A slider of the defender behind the moving piece attacks through the emptied origin.
  EXPECT_EQ(see("6k1/8/8/8/3B4/8/8/b5K1 w - - 0 1", "Be5"), -3);
  EXPECT_EQ(see("3r2k1/8/8/3n4/3R4/8/8/3K4 w - - 0 1", "Rxd5"), 3 - 5);
}

TEST(StaticExchange, KingAsLastCapturer) {
  // Only the enemy king guards the target, and the own king guards it too: no recapture.
  EXPECT_EQ(see("8/3k4/4p3/5K2/8/8/8/4R3 w - - 0 1", "Rxe6"), 1);
  // Without the own king the enemy king takes the rook.
  EXPECT_EQ(see("8/3k4/4p3/8/8/8/8/4R2K w - - 0 1", "Rxe6"), 1 - 5);
  // The mover's king recaptures last when nothing else is left.
  EXPECT_EQ(see("6k1/8/3p4/4p3/5K2/5N2/8/8 w - - 0 1", "Nxe5"), 1 - 3 + 1);
  // The king does not take a piece that is still defended.
  EXPECT_EQ(see("8/3k4/4p3/8/8/8/4R3/4R2K w - - 0 1", "Rxe6"), 1);
}

TEST(StaticExchange, PromotionsAndEnPassant) {
  // Promotion on a safe square gains the queen's extra value.
  EXPECT_EQ(see("7k/P7/8/8/8/8/8/K7 w - - 0 1", "a8=Q"), 8);
  // Promotion onto a square the rook guards loses the new queen for the rook (8 up, then -10+5).
  EXPECT_EQ(see("1r5k/P7/8/8/8/8/8/K7 w - - 0 1", "a8=Q"), 8 - 10);
  // En passant wins the pawn.
  EXPECT_EQ(see("4k3/8/8/3Pp3/8/8/8/4K3 w - e6 0 1", "dxe6"), 1);
}

TEST(StaticExchange, ProbeOfAnEmptyOrigin) {
  // The origin is empty: the square is evaluated for the other side, here White's knight on e5
  // attacked by Black's pawn, with Black (the side asked) capturing first.
  Position& pos = positionFrom("4k3/8/3p4/4N3/8/8/8/4K3 b - - 0 1");
  const Move probe = makeMoveWord(sq("e3"), sq("e5"));
  EXPECT_EQ(staticExchange(pos, Black, probe), -3);
  // Defended by a pawn, the knight still goes for a pawn.
  Position& defended = positionFrom("4k3/8/3p4/4N3/3P4/8/8/4K3 b - - 0 1");
  EXPECT_EQ(staticExchange(defended, Black, probe), 1 - 3);
  // Nothing attacks the square: nothing is lost.
  Position& quiet = positionFrom("4k3/8/8/4N3/8/8/8/4K3 b - - 0 1");
  EXPECT_EQ(staticExchange(quiet, Black, probe), 0);
}

TEST(StaticExchange, LeavesThePositionAsItWas) {
  Position& pos = positionFrom("4r1k1/4r3/8/4p3/3P4/5B2/4R3/4Q1K1 w - - 0 1");
  Position before;
  std::memcpy(&before, &pos, sizeof pos);
  for (const char* move : {"dxe5", "Rxe5", "Bh5"}) {
    const Move m = parseMove(pos, move);
    ASSERT_NE(m, 0u) << move;
    staticExchange(pos, White, m & ~MoveCheckFlags);
    EXPECT_EQ(std::memcmp(pos.board, before.board, sizeof pos.board), 0);
    EXPECT_EQ(std::memcmp(pos.pieceSquare, before.pieceSquare, sizeof pos.pieceSquare), 0);
  }
}

TEST(CollectAttackers, OrderOfKindsAndHiddenPieces) {
  // Queen d1, rook d8, bishop b7, knights f6 and c3 (in list order), pawns c4 and e4 attack d5.
  Position& pos = positionFrom("3R4/1B6/5N2/k7/2P1P3/2N5/8/3Q2K1 w - - 0 1");
  AttackerList list;
  ASSERT_EQ(collectAttackers(list, pos, White, sq("d5")), 7);
  const int expected[7][2] = {{sq("d1"), 10}, {sq("d8"), 5}, {sq("b7"), 3}, {sq("f6"), 3},
                              {sq("c3"), 3}, {sq("c4"), 1}, {sq("e4"), 1}};
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(list.entry[i].square, expected[i][0]) << i;
    EXPECT_EQ(list.entry[i].value, expected[i][1]) << i;
  }
  // A hidden piece (0x80 on its list entry) no longer attacks; the king never counts.
  const int queen = pos.at(sq("d1"));
  pos.pieceSquare[queen] ^= 0x80;
  EXPECT_EQ(collectAttackers(list, pos, White, sq("d5")), 6);
  pos.pieceSquare[queen] ^= 0x80;
  EXPECT_EQ(collectAttackers(list, pos, White, sq("f2")), 0);
  EXPECT_EQ(collectAttackers(list, pos, Black, sq("d5")), 0);
  // A blocked slider does not attack.
  Position& blocked = positionFrom("6k1/8/8/3p4/8/3P4/8/3Q2K1 w - - 0 1");
  EXPECT_EQ(collectAttackers(list, blocked, White, sq("d5")), 0);
}

}  // namespace
