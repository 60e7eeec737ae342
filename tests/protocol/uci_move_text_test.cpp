// Move text for UCI interfaces: squares, lower-case promotion letters, and castling in each of
// the four notations, in standard chess and in Chess960 set-ups.
#include "protocol/uci_move_text.h"

#include <gtest/gtest.h>

#include "board/notation.h"
#include "support/positions.h"

namespace {

TEST(UciMoveText, EveryMoveInEveryNotation) {
  const char* both = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
  const char* black = "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1";
  const char* promotion = "1n5k/P7/8/8/8/8/8/7K w - - 0 1";
  const struct {
    const char* fen;
    const char* move;
    const char* smart;  // then O-O, KxR and e1g1; null: as smart
    const char* oo;
    const char* kxr;
    const char* e1g1;
  } cases[] = {
      {InitialFen, "g1f3", "g1f3", nullptr, nullptr, nullptr},
      {promotion, "a7a8q", "a7a8q", nullptr, nullptr, nullptr},
      {promotion, "a7a8r", "a7a8r", nullptr, nullptr, nullptr},
      {promotion, "a7b8n", "a7b8n", nullptr, nullptr, nullptr},
      {"7k/8/8/8/8/8/p7/7K b - - 0 1", "a2a1b", "a2a1b", nullptr, nullptr, nullptr},
      {"4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", "e5d6", nullptr, nullptr,
       nullptr},  // en passant
      {both, "O-O", "e1g1", "O-O", "e1h1", "e1g1"},
      {both, "O-O-O", "e1c1", "O-O-O", "e1a1", "e1c1"},
      {black, "O-O", "e8g8", "O-O", "e8h8", "e8g8"},
      {black, "O-O-O", "e8c8", "O-O-O", "e8a8", "e8c8"},
      // Chess960: where the king moves one file or not at all, smart says king takes rook.
      {"2rkr3/2p1p3/8/8/8/8/8/RK6 w A - 0 1", "O-O-O", "b1a1", "O-O-O", "b1a1", "b1c1"},
      {"5k2/8/8/8/8/8/8/5K1R w H - 0 1", "O-O", "f1h1", "O-O", "f1h1", "f1g1"},
      {"6k1/8/8/8/8/8/8/6KR w H - 0 1", "O-O", "g1h1", "O-O", "g1h1", "g1g1"},  // the king stays
      {"1k5r/8/8/8/8/8/8/4K3 b h - 0 1", "O-O", "b8g8", "O-O", "b8h8", "b8g8"},
  };
  for (const auto& c : cases) {
    auto pos = positionFrom(c.fen);
    const Move m = parseMove(*pos, c.move);
    ASSERT_NE(m, 0u) << c.move << " in " << c.fen;
    const char* expected[4] = {c.smart, c.oo ? c.oo : c.smart, c.kxr ? c.kxr : c.smart,
                               c.e1g1 ? c.e1g1 : c.smart};
    for (int notation : {CastleSmart, CastleOO, CastleKxR, CastleE1G1}) {
      char buffer[UciMoveTextSize];
      EXPECT_STREQ(uciMoveText(buffer, *pos, m, notation), expected[notation])
          << c.move << " " << notation;
    }
  }
  char buffer[UciMoveTextSize];
  EXPECT_STREQ(uciMoveText(buffer, *positionFrom(InitialFen), 0, CastleSmart), "0000");
  for (auto [name, notation] : {std::pair{"smart", int(CastleSmart)},
                                {"O-O", CastleOO},
                                {"KxR", CastleKxR},
                                {"e1g1", CastleE1G1},
                                {"kxr", -1},
                                {"", -1}})
    EXPECT_EQ(castleNotationFromName(name), notation) << name;
}

}  // namespace
