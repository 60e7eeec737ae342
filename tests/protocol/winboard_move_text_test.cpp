// Move text as WinBoard reads and writes it, and the game history that takes moves back.
#include "protocol/winboard_move_text.h"

#include <gtest/gtest.h>

#include "board/makemove.h"
#include "board/notation.h"
#include "protocol/winboard_history.h"
#include "protocol/winboard_session.h"

namespace {

struct Board {
  explicit Board(const char* fen) {
    prepareEngine();
    EXPECT_TRUE(setFen(pos, fen)) << fen;
  }
  Move move(const char* text) {
    Move m = parseMove(pos, text);
    EXPECT_NE(m, 0u) << text;
    return m;
  }
  std::string text(const char* move) {
    char buffer[WinBoardMoveTextSize];
    return winboardMoveText(buffer, this->move(move));
  }
  Position pos;
};

TEST(WinBoardMoveText, CoordinatesPromotionLettersAndCastling) {
  Board start(InitialFen);
  EXPECT_EQ(start.text("e2e4"), "e2e4");
  EXPECT_EQ(start.text("g1f3"), "g1f3");

  Board promote("3r4/4P3/8/8/8/8/8/k6K w - - 0 1");
  EXPECT_EQ(promote.text("e7e8q"), "e7e8Q");
  EXPECT_EQ(promote.text("e7e8r"), "e7e8R");
  EXPECT_EQ(promote.text("e7e8b"), "e7e8B");
  EXPECT_EQ(promote.text("e7e8n"), "e7e8N");
  EXPECT_EQ(promote.text("e7d8q"), "e7d8Q");

  Board castle("r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 0 1");
  EXPECT_EQ(castle.text("e1g1"), "O-O");
  EXPECT_EQ(castle.text("O-O-O"), "O-O-O");

  // Chess960: the king on b1 castles long with the a1 rook, on f1 short with the h1 rook.
  Board long960("2rkr3/2p1p3/8/8/8/8/8/RK6 w A - 0 1");
  EXPECT_EQ(long960.text("O-O-O"), "O-O-O");
  Board short960("4rkr1/4p1p1/8/8/8/8/8/5K1R w H - 0 1");
  EXPECT_EQ(short960.text("O-O"), "O-O");

  char buffer[WinBoardMoveTextSize] = "junk";
  EXPECT_STREQ(winboardMoveText(buffer, 0), "");
}

TEST(WinBoardMoveText, PonderMoveRecognition) {
  Board promote("3r4/4P3/8/8/8/8/8/k6K w - - 0 1");
  const Move queen = promote.move("e7e8q");
  for (const char* hit : {"e7e8", "e7e8q", "e7e8Q", "e7e8=Q", "e7e8=q", "e7e8+", "e7e8Q#"})
    EXPECT_TRUE(winboardTextNamesMove(hit, queen)) << hit;
  for (const char* miss : {"e7e8n", "e7e8N", "e7e8=R", "e7d8", "e7e8qq", "e7e", "", "e7e8 "})
    EXPECT_FALSE(winboardTextNamesMove(miss, queen)) << miss;
  const Move knight = promote.move("e7e8n");
  EXPECT_TRUE(winboardTextNamesMove("e7e8n", knight));
  EXPECT_FALSE(winboardTextNamesMove("e7e8", knight));  // no letter means a queen

  const Move capture = promote.move("e7d8q");
  EXPECT_TRUE(winboardTextNamesMove("e7xd8", capture));
  EXPECT_TRUE(winboardTextNamesMove("e7xd8=Q+", capture));

  Board start(InitialFen);
  const Move push = start.move("e2e4");
  for (const char* hit : {"e2e4", "e2xe4", "e2e4+", "e2e4#"})
    EXPECT_TRUE(winboardTextNamesMove(hit, push)) << hit;
  for (const char* miss : {"e2e4q", "e2e3", "e2e4++", "E2E4", "e2-e4"})
    EXPECT_FALSE(winboardTextNamesMove(miss, push)) << miss;
  EXPECT_FALSE(winboardTextNamesMove("e2e4", 0));

  Board castle("r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 0 1");
  const Move shortCastle = castle.move("O-O");
  const Move longCastle = castle.move("O-O-O");
  for (const char* hit : {"O-O", "0-0", "e1g1", "O-O+"})
    EXPECT_TRUE(winboardTextNamesMove(hit, shortCastle)) << hit;
  for (const char* miss : {"O-O-O", "e1c1", "O-", "O-O-"})
    EXPECT_FALSE(winboardTextNamesMove(miss, shortCastle)) << miss;
  EXPECT_TRUE(winboardTextNamesMove("O-O-O", longCastle));
  EXPECT_TRUE(winboardTextNamesMove("0-0-0", longCastle));
  EXPECT_FALSE(winboardTextNamesMove("O-O", longCastle));
}

// Everything a take-back must restore.
struct Snapshot {
  explicit Snapshot(const Position& p)
      : hash(p.hashKey),
        pawn(p.pawnKey),
        ply(p.ply),
        lastMove(p.lastMove),
        rights(p.castleRights),
        ep(p.epSquare),
        irreversible(p.lastIrreversible),
        side(p.sideToMove) {
    char text[128];
    fenString(p, text, sizeof text);
    fen = text;
  }
  bool operator==(const Snapshot&) const = default;
  std::string fen;
  uint64_t hash, pawn;
  uint32_t ply;
  Move lastMove;
  uint8_t rights, ep;
  uint16_t irreversible;
  uint32_t side;
};

TEST(WinBoardHistory, TakesBackEveryKindOfMoveExactly) {
  Board game("r3k2r/1P4p1/8/2pP4/8/8/6P1/R3K2R w KQkq c6 0 1");
  auto history = std::make_unique<WinBoardHistory>();
  history->reset(game.pos);
  EXPECT_FALSE(history->takeBack(game.pos));

  std::vector<Snapshot> before;
  // En passant, a promotion with capture, castling both ways, a check and a double push.
  for (const char* text : {"d5c6", "e8g8", "b7a8q", "f8a8", "e1c1", "g7g5", "O-O"}) {
    Move m = parseMove(game.pos, text);
    if (std::string(text) == "O-O") {
      EXPECT_EQ(m, 0u);  // white has castled already
      continue;
    }
    ASSERT_NE(m, 0u) << text;
    before.emplace_back(game.pos);
    Move made = history->play(game.pos, m);
    ASSERT_NE(made, 0u) << text;
    EXPECT_EQ(game.pos.lastMove, made);
  }
  EXPECT_EQ(computeHashKey(game.pos), game.pos.hashKey);
  while (!before.empty()) {
    ASSERT_TRUE(history->takeBack(game.pos));
    EXPECT_TRUE(Snapshot(game.pos) == before.back()) << before.back().fen;
    before.pop_back();
  }
  EXPECT_FALSE(history->takeBack(game.pos));
}

TEST(WinBoardHistory, RefusesIllegalMovesAndAGameWithoutRoom) {
  Board game(InitialFen);
  auto history = std::make_unique<WinBoardHistory>();
  history->reset(game.pos);
  EXPECT_EQ(history->play(game.pos, 0), 0u);
  EXPECT_EQ(game.pos.ply, 0u);

  // Knights going back and forth until the history is full.
  const char* shuffle[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  int played = 0;
  for (;; played++) {
    Move m = parseMove(game.pos, shuffle[played % 4]);
    ASSERT_NE(m, 0u);
    if (!history->play(game.pos, m)) break;
  }
  EXPECT_EQ(played, MaxGamePly);
  EXPECT_EQ(int(game.pos.ply), MaxGamePly);
  for (int i = 0; i < played; i++) ASSERT_TRUE(history->takeBack(game.pos));
  EXPECT_EQ(game.pos.hashKey, computeHashKey(game.pos));
  EXPECT_FALSE(history->takeBack(game.pos));

  // Moves made before the record starts cannot be taken back through it.
  history->play(game.pos, parseMove(game.pos, "e2e4"));
  history->reset(game.pos);
  EXPECT_FALSE(history->takeBack(game.pos));
}

}  // namespace
