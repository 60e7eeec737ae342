// Move text as WinBoard reads and writes it, and the game history that takes moves back.
#include "protocol/winboard_move_text.h"

#include <gtest/gtest.h>

#include "board/makemove.h"
#include "board/notation.h"
#include "protocol/winboard_history.h"
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

}  // namespace
