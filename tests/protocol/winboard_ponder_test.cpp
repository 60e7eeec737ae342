// Pondering, each case forced: the engine thinks on the expected reply; the opponent's move is
// that reply (a ponder hit, during the ponder search or after it ended) or another one (the
// ponder move is taken back). A stop never leaves a ponder move on the board.
#include <gtest/gtest.h>

#include "protocol/winboard_move_text.h"
#include "protocol/winboard_session.h"

namespace {

std::string text(Move m) {
  char buffer[WinBoardMoveTextSize];
  return winboardMoveText(buffer, m);
}

// The engine (black, with only king moves) moves and then ponders on White's obvious e7e8Q until
// its depth limit ends that too.
void moveAndPonderOnPromotion(WinBoardSession& s) {
  s.lines({"new", "setboard 8/4P3/8/8/8/8/8/k6K b - - 0 1", "hard", "level 0 1000 0",
           "time 6000000", "sd 4", "nopost", "go"});
  ASSERT_EQ(s.until("move ").size(), 1u);
  s.settle();
  ASSERT_EQ(text(s.driver->ponderMove()), "e7e8Q");
  ASSERT_EQ(s.position.ply, 2u);  // the engine's move and the ponder move
}

TEST(WinBoardPonder, HitAfterThePonderSearchEndedAndAnUnderpromotionMiss) {
  for (const char* reply : {"e7e8", "e7e8n"}) {  // no letter: a queen, the move pondered on
    WinBoardSession s;
    moveAndPonderOnPromotion(s);
    const Move pondered = s.driver->ponderMove();
    s.line(std::string("usermove ") + reply);
    ASSERT_EQ(s.until("move ").size(), 1u);
    s.settle();
    const bool hit = reply[4] == 0;
    EXPECT_EQ(s.position.ply, hit ? 4u : 3u);  // reply made, and pondering again after the hit
    EXPECT_EQ(sameMove(s.position.moveHistory[1], pondered), hit) << reply;
    s.line("force");
    EXPECT_EQ(s.position.ply, 3u);  // stopping takes the new ponder move back
    EXPECT_EQ(s.driver->ponderMove(), 0u);
    // The promotion the opponent chose (the engine's reply may have taken the piece since).
    EXPECT_EQ(movePromotion(s.position.moveHistory[1]), hit ? Queen : Knight) << s.fen();
    EXPECT_EQ(s.position.hashKey, computeHashKey(s.position));
  }
}

// A middlegame where no search at this depth ends soon: only `?` ends the engine's search, and
// the ponder search goes on until the opponent's move comes.
void searchMiddlegameAndMoveNow(WinBoardSession& s, const std::string& clock) {
  s.lines({"new", "setboard r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N2N2/PP2BPPP/R2QKB1R w KQ - 0 8",
           "hard"});
  s.lines({clock, "time 6000000", "go"});
  s.until("4 ");  // deep enough for an expected reply
  s.line("?");
  ASSERT_FALSE(s.until("move ").empty());
  ASSERT_NE(s.driver->ponderMove(), 0u);
  ASSERT_EQ(s.driver->status(), WinBoardDriver::Pondering);
}

TEST(WinBoardPonder, LiveHitTurnsThePonderSearchIntoTheSearchAndAMissTakesItBack) {
  WinBoardSession s;
  searchMiddlegameAndMoveNow(s, "level 0 1000 0");
  s.line("usermove " + text(s.driver->ponderMove()));
  EXPECT_EQ(s.driver->status(), WinBoardDriver::Searching);
  EXPECT_EQ(s.driver->ponderMove(), 0u);
  s.until("4 ");  // the same search goes on
  s.line("?");
  ASSERT_FALSE(s.until("move ").empty());
  EXPECT_EQ(s.driver->status(), WinBoardDriver::Pondering);
  EXPECT_EQ(s.position.ply, 4u);
  // Move now while pondering plays nothing; force takes the ponder move back.
  s.line("nopost");
  s.sync();
  s.line("?");
  EXPECT_EQ(s.sync(), std::vector<std::string>{});
  EXPECT_EQ(s.driver->status(), WinBoardDriver::Pondering);
  s.line("force");
  EXPECT_EQ(s.position.ply, 3u);
  EXPECT_EQ(s.driver->status(), WinBoardDriver::Idle);
  EXPECT_EQ(s.position.hashKey, computeHashKey(s.position));
}

// Under a fixed time per move (st) a ponder hit keeps that time: the clock the interface sent
// last (here an empty one) does not count.
TEST(WinBoardPonder, HitUnderFixedTimeKeepsTheFixedTime) {
  WinBoardSession s;
  searchMiddlegameAndMoveNow(s, "st 30");
  s.line("time 0");
  s.line("usermove " + text(s.driver->ponderMove()));
  EXPECT_EQ(s.engine.nominalTimeMs(), 30000u);
  s.line("?");
  ASSERT_FALSE(s.until("move ").empty());
}

}  // namespace
