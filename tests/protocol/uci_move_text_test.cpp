// Move text for UCI interfaces: squares, lower-case promotion letters, and castling in each of
// the four notations, in standard chess and in Chess960 set-ups.
#include "protocol/uci_move_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "board/notation.h"
#include "board/tables.h"

namespace {

std::unique_ptr<Position> positionFrom(const char* fen) {
  initTables();
  auto pos = std::make_unique<Position>();
  EXPECT_TRUE(setFen(*pos, fen)) << fen;
  return pos;
}

std::string text(const Position& pos, Move m, int notation) {
  char buffer[UciMoveTextSize];
  return uciMoveText(buffer, pos, m, notation);
}

// The move the text denotes in pos, written in each notation.
std::string written(const char* fen, const char* move, int notation) {
  auto pos = positionFrom(fen);
  Move m = parseMove(*pos, move);
  EXPECT_NE(m, 0u) << move << " in " << fen;
  return text(*pos, m, notation);
}

TEST(UciMoveText, SquaresPromotionsAndNoMove) {
  auto pos = positionFrom("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  EXPECT_EQ(text(*pos, 0, CastleSmart), "0000");
  EXPECT_EQ(
      written("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "g1f3", CastleSmart),
      "g1f3");
  const char* promotion = "1n5k/P7/8/8/8/8/8/7K w - - 0 1";
  EXPECT_EQ(written(promotion, "a7a8q", CastleSmart), "a7a8q");
  EXPECT_EQ(written(promotion, "a7a8r", CastleSmart), "a7a8r");
  EXPECT_EQ(written(promotion, "a7a8b", CastleSmart), "a7a8b");
  EXPECT_EQ(written(promotion, "a7b8n", CastleSmart), "a7b8n");
  EXPECT_EQ(written("7k/8/8/8/8/8/p7/7K b - - 0 1", "a2a1q", CastleKxR), "a2a1q");
  // En passant is a plain pawn move.
  EXPECT_EQ(written("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", CastleSmart), "e5d6");
}

TEST(UciMoveText, StandardCastlingInEachNotation) {
  const char* both = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
  const char* black = "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1";
  struct Case {
    const char* fen;
    const char* move;
    const char* smart;
    const char* oo;
    const char* kxr;
    const char* e1g1;
  };
  for (const Case& c : {Case{both, "O-O", "e1g1", "O-O", "e1h1", "e1g1"},
                        Case{both, "O-O-O", "e1c1", "O-O-O", "e1a1", "e1c1"},
                        Case{black, "O-O", "e8g8", "O-O", "e8h8", "e8g8"},
                        Case{black, "O-O-O", "e8c8", "O-O-O", "e8a8", "e8c8"}}) {
    EXPECT_EQ(written(c.fen, c.move, CastleSmart), c.smart) << c.move;
    EXPECT_EQ(written(c.fen, c.move, CastleOO), c.oo) << c.move;
    EXPECT_EQ(written(c.fen, c.move, CastleKxR), c.kxr) << c.move;
    EXPECT_EQ(written(c.fen, c.move, CastleE1G1), c.e1g1) << c.move;
  }
}

TEST(UciMoveText, Chess960CastlingInEachNotation) {
  // King on b1, rook on a1: the long castling moves the king one file; smart says b1a1.
  const char* kingB = "2rkr3/2p1p3/8/8/8/8/8/RK6 w A - 0 1";
  EXPECT_EQ(written(kingB, "O-O-O", CastleSmart), "b1a1");
  EXPECT_EQ(written(kingB, "O-O-O", CastleOO), "O-O-O");
  EXPECT_EQ(written(kingB, "O-O-O", CastleKxR), "b1a1");
  EXPECT_EQ(written(kingB, "O-O-O", CastleE1G1), "b1c1");
  // King on f1, rook on h1: the short castling moves the king one file.
  const char* kingF = "5k2/8/8/8/8/8/8/5K1R w H - 0 1";
  EXPECT_EQ(written(kingF, "O-O", CastleSmart), "f1h1");
  EXPECT_EQ(written(kingF, "O-O", CastleE1G1), "f1g1");
  EXPECT_EQ(written(kingF, "O-O", CastleOO), "O-O");
  // King already on g1: only the rook moves; the king's own squares would say nothing.
  const char* kingG = "6k1/8/8/8/8/8/8/6KR w H - 0 1";
  EXPECT_EQ(written(kingG, "O-O", CastleSmart), "g1h1");
  EXPECT_EQ(written(kingG, "O-O", CastleKxR), "g1h1");
  // King on b8 for Black with the rook on h8, castling short: the king travels far, smart
  // writes the king's target, KxR the rook.
  const char* blackFar = "1k5r/8/8/8/8/8/8/4K3 b h - 0 1";
  EXPECT_EQ(written(blackFar, "O-O", CastleSmart), "b8g8");
  EXPECT_EQ(written(blackFar, "O-O", CastleKxR), "b8h8");
}

TEST(UciMoveText, NotationNames) {
  EXPECT_EQ(castleNotationFromName("smart"), CastleSmart);
  EXPECT_EQ(castleNotationFromName("O-O"), CastleOO);
  EXPECT_EQ(castleNotationFromName("KxR"), CastleKxR);
  EXPECT_EQ(castleNotationFromName("e1g1"), CastleE1G1);
  EXPECT_EQ(castleNotationFromName("kxr"), -1);
  EXPECT_EQ(castleNotationFromName(""), -1);
}

}  // namespace
