// Pondering: the engine thinks on the expected reply; the opponent's move either is that reply
// (a ponder hit, also after the ponder search has ended) or takes the ponder move back.
#include <gtest/gtest.h>

#include "board/notation.h"
#include "protocol/winboard_move_text.h"
#include "protocol/winboard_session.h"
#include "support/temp_dir.h"

namespace {

using Lines = std::vector<std::string>;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string text(Move m) {
  char buffer[WinBoardMoveTextSize];
  return winboardMoveText(buffer, m);
}

// Black to move with only king moves; White's obvious answer is to queen the e-pawn.
constexpr const char* PromotionAhead = "8/4P3/8/8/8/8/8/k6K b - - 0 1";

// The engine (black) moves and then ponders on e7e8Q until its depth limit ends that too.
void moveAndPonderOnPromotion(WinBoardSession& s) {
  s.line("new");
  s.line(std::string("setboard ") + PromotionAhead);
  s.line("hard");
  s.line("level 0 1000 0");
  s.line("time 6000000");
  s.line("sd 4");
  s.line("nopost");
  s.line("go");
  ASSERT_EQ(s.until("move ").size(), 1u);
  s.driver->waitUntilIdle();
  ASSERT_EQ(text(s.driver->ponderMove()), "e7e8Q");
  ASSERT_EQ(s.position.ply, 2u);  // the engine's move and the ponder move
}

TEST(WinBoardPonder, HitOnE7e8AfterThePonderSearchEnded) {
  TempDir dir;
  WinBoardSession s(dir.path());
  moveAndPonderOnPromotion(s);
  const Move ponderMove = s.driver->ponderMove();
  EXPECT_EQ(s.driver->status(), WinBoardDriver::Idle);
  s.line("usermove e7e8");  // no letter: a queen, the move pondered on
  Lines lines = s.until("move ");
  ASSERT_EQ(lines.size(), 1u);
  s.driver->waitUntilIdle();
  EXPECT_EQ(s.position.ply, 4u);  // the ponder move stayed; reply made; pondering again
  EXPECT_EQ(s.position.moveHistory[1] & MoveCompareMask, ponderMove & MoveCompareMask);
  EXPECT_NE(s.driver->ponderMove(), 0u);
  EXPECT_EQ(movePromotion(s.position.moveHistory[1]), Queen);  // e7e8 made a queen...
  s.line("force");
  EXPECT_EQ(s.position.ply, 3u);  // ...and stopping takes the new ponder move back
  EXPECT_EQ(s.driver->ponderMove(), 0u);
  const std::string log = readWinBoardLog(dir.path());
  EXPECT_TRUE(contains(log, "]: ponderhit\n")) << log;
  EXPECT_TRUE(contains(log, "]: pondering already finished!\n")) << log;
  EXPECT_TRUE(contains(log, "]: stop(): undo pondermove\n")) << log;
}

TEST(WinBoardPonder, UnderpromotionIsNoHit) {
  WinBoardSession s;
  moveAndPonderOnPromotion(s);
  s.line("usermove e7e8n");
  ASSERT_EQ(s.until("move ").size(), 1u);
  s.driver->waitUntilIdle();
  s.line("force");
  EXPECT_EQ(s.position.ply, 3u);
  char fen[128];
  fenString(s.position, fen, sizeof fen);
  EXPECT_EQ(std::string(fen).substr(0, 5), "4N3/8")
      << fen;  // the knight, not the queen pondered on
  EXPECT_EQ(s.position.hashKey, computeHashKey(s.position));
}

// A middlegame where no search at this depth ends soon: only `?` ends the engine's search,
// and the ponder search goes on until the opponent's move comes.
constexpr const char* Middlegame =
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N2N2/PP2BPPP/R2QKB1R w KQ - 0 8";

// With pondering on, the engine searches the middlegame until its lines reach depth 4 (deep
// enough for an expected reply), then `?` makes it move; the caller waits for the move.
void searchMiddlegameAndMoveNow(WinBoardSession& s) {
  s.line("new");
  s.line(std::string("setboard ") + Middlegame);
  for (const char* line : {"hard", "level 0 1000 0", "time 6000000", "sd 60", "go"}) s.line(line);
  s.until("4 ");
  s.line("?");
}

TEST(WinBoardPonder, LiveHitTurnsThePonderSearchIntoTheSearchForTheMove) {
  WinBoardSession s;
  searchMiddlegameAndMoveNow(s);
  ASSERT_FALSE(s.until("move ").empty());
  const Move expected = s.driver->ponderMove();
  ASSERT_NE(expected, 0u);
  EXPECT_EQ(s.driver->status(), WinBoardDriver::Pondering);
  const uint32_t plies = s.position.ply;
  EXPECT_EQ(plies, 2u);

  s.line("usermove " + text(expected));
  EXPECT_EQ(s.driver->status(), WinBoardDriver::Searching);
  EXPECT_EQ(s.driver->ponderMove(), 0u);
  s.until("4 ");  // the same search goes on: its lines no longer show the ponder move first
  s.line("?");
  ASSERT_FALSE(s.until("move ").empty());
  EXPECT_EQ(s.driver->status(), WinBoardDriver::Pondering);
  EXPECT_EQ(s.position.ply, plies + 2);

  // A miss: the ponder move is taken back and the opponent's move played instead.
  const Move pondered = s.driver->ponderMove();
  ASSERT_NE(pondered, 0u);
  s.line("force");
  EXPECT_EQ(s.position.ply, plies + 1);
  EXPECT_EQ(s.driver->status(), WinBoardDriver::Idle);
  EXPECT_EQ(s.driver->ponderMove(), 0u);
  EXPECT_EQ(s.position.hashKey, computeHashKey(s.position));
}

// Under a fixed time per move (st) a ponder hit keeps that time: the clock the interface sent
// last (here an empty one) does not count.
TEST(WinBoardPonder, HitUnderFixedTimeKeepsTheFixedTime) {
  TempDir dir;
  WinBoardSession s(dir.path());
  s.line("new");
  s.line(std::string("setboard ") + Middlegame);
  for (const char* line : {"hard", "st 30", "time 0", "go"}) s.line(line);
  s.until("4 ");
  s.line("?");
  ASSERT_FALSE(s.until("move ").empty());
  const Move expected = s.driver->ponderMove();
  ASSERT_NE(expected, 0u);
  s.line("usermove " + text(expected));
  s.line("?");
  ASSERT_FALSE(s.until("move ").empty());
  s.line("force");
  const std::string log = readWinBoardLog(dir.path());
  EXPECT_TRUE(contains(log, "]: ponderhit: adjusted nominal search time is 30.00 seconds\n"))
      << log;
}

TEST(WinBoardPonder, MoveNowWhilePonderingPlaysNothing) {
  WinBoardSession s;
  searchMiddlegameAndMoveNow(s);
  ASSERT_FALSE(s.until("move ").empty());
  s.line("nopost");
  s.sync();  // thinking lines the ponder search posted before nopost took effect
  const uint32_t plies = s.position.ply;
  s.line("?");
  EXPECT_EQ(s.driver->status(), WinBoardDriver::Pondering);
  EXPECT_EQ(s.sync(), Lines{});
  EXPECT_EQ(s.position.ply, plies);
  s.line("easy");
  s.line("result 1-0 {White resigns}");
  EXPECT_EQ(s.driver->status(), WinBoardDriver::Idle);
  EXPECT_EQ(s.position.ply, plies - 1);
}

}  // namespace
