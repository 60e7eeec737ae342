// Move text as UCI and WinBoard interfaces read and write it (lower-case promotion letters and the
// four castling notations of UCI, in standard chess and Chess960), and the game history that takes
// WinBoard moves back.
#include <gtest/gtest.h>

#include "board/notation.h"
#include "protocol/uci_move_text.h"
#include "protocol/winboard_history.h"
#include "protocol/winboard_move_text.h"
#include "support/positions.h"

namespace {

const char* const Promote = "3r4/4P3/8/8/8/8/8/k6K w - - 0 1";
const char* const Castle = "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 0 1";

TEST(WinBoardMoveText, WrittenAndRecognised) {
  const struct {
    const char* fen;
    const char* move;
    const char* written;
    std::vector<const char*> names, others;  // texts that name the move, and texts that do not
  } cases[] = {
      {InitialFen,
       "e2e4",
       "e2e4",
       {"e2e4", "e2xe4", "e2e4+", "e2e4#"},
       {"e2e4q", "e2e3", "e2e4++", "E2E4", "e2-e4"}},
      {Promote,
       "e7e8q",
       "e7e8Q",
       {"e7e8", "e7e8q", "e7e8Q", "e7e8=Q", "e7e8=q", "e7e8+", "e7e8Q#"},
       {"e7e8n", "e7e8N", "e7e8=R", "e7d8", "e7e8qq", "e7e", "", "e7e8 "}},
      {Promote, "e7e8n", "e7e8N", {"e7e8n"}, {"e7e8"}},  // no letter means a queen
      {Promote, "e7e8r", "e7e8R", {}, {}},
      {Promote, "e7e8b", "e7e8B", {}, {}},
      {Promote, "e7d8q", "e7d8Q", {"e7xd8", "e7xd8=Q+"}, {}},
      {Castle, "e1g1", "O-O", {"O-O", "0-0", "e1g1", "O-O+"}, {"O-O-O", "e1c1", "O-", "O-O-"}},
      {Castle, "O-O-O", "O-O-O", {"O-O-O", "0-0-0"}, {"O-O"}},
      // Chess960: the king on b1 castles long with the a1 rook, on f1 short with the h1 rook.
      {"2rkr3/2p1p3/8/8/8/8/8/RK6 w A - 0 1", "O-O-O", "O-O-O", {}, {}},
      {"4rkr1/4p1p1/8/8/8/8/8/5K1R w H - 0 1", "O-O", "O-O", {}, {}},
  };
  for (const auto& c : cases) {
    auto pos = positionFrom(c.fen);
    const Move m = parseMove(*pos, c.move);
    char buffer[WinBoardMoveTextSize];
    EXPECT_STREQ(winboardMoveText(buffer, m), c.written) << c.move;
    for (const char* text : c.names)
      EXPECT_TRUE(winboardTextNamesMove(text, m)) << text << " for " << c.move;
    for (const char* text : c.others)
      EXPECT_FALSE(winboardTextNamesMove(text, m)) << text << " for " << c.move;
  }
  char buffer[WinBoardMoveTextSize] = "junk";
  EXPECT_STREQ(winboardMoveText(buffer, 0), "");
  EXPECT_FALSE(winboardTextNamesMove("e2e4", 0));
}

TEST(WinBoardHistory, TakesBackEveryKindOfMoveExactly) {
  auto pos = positionFrom("r3k2r/1P4p1/8/2pP4/8/8/6P1/R3K2R w KQkq c6 0 1");
  auto history = std::make_unique<WinBoardHistory>();
  history->reset(*pos);
  EXPECT_FALSE(history->takeBack(*pos));
  EXPECT_EQ(history->play(*pos, 0), 0u);
  // En passant, castling both ways, a promotion with capture, a check, a double push.
  std::vector<std::pair<std::string, uint64_t>> before;
  for (const char* text : {"d5c6", "e8g8", "b7a8q", "f8a8", "e1c1", "g7g5"}) {
    const Move m = parseMove(*pos, text);
    ASSERT_NE(m, 0u) << text;
    before.emplace_back(fenOf(*pos) + " " + std::to_string(pos->lastIrreversible), pos->pawnKey);
    ASSERT_EQ(history->play(*pos, m), pos->lastMove) << text;
  }
  while (!before.empty()) {
    ASSERT_TRUE(history->takeBack(*pos));
    EXPECT_EQ(fenOf(*pos) + " " + std::to_string(pos->lastIrreversible), before.back().first);
    EXPECT_EQ(pos->pawnKey, before.back().second);
    EXPECT_EQ(pos->hashKey, computeHashKey(*pos));
    before.pop_back();
  }
  EXPECT_FALSE(history->takeBack(*pos));
}

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
}

}  // namespace
