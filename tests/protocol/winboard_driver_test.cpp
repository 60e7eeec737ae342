// The WinBoard driver fed line by line, its answers read from its output: the hand-over from the
// shell, features, games and clocks, take-backs and bad input, results and Chess960 castling.
// (Analysis mode goes through the adversarial session of the robustness test.)
#include <gtest/gtest.h>

#include "protocol/winboard_session.h"
#include "search/syzygy.h"
#include "support/positions.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace {

using Lines = std::vector<std::string>;
const std::string StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 0";
// A clock so large that searches end by their depth limit, never by time.
const Lines PlentyOfTime = {"level 0 1000 0", "time 6000000", "sd 3"};

TEST(WinBoardDriver, FeaturesBeforeAndAfterXboardAndTheLog) {
  TempDir dir;
  const std::string logDir = dir.file("logs/wb");
  {
    WinBoardSession s(logDir, false);
    EXPECT_FALSE(s.line("hello world"));  // for the shell
    EXPECT_TRUE(s.line("ping 5"));
    EXPECT_EQ(s.next(), "pong 5");
    EXPECT_FALSE(s.driver->active());
    EXPECT_TRUE(s.line("xboard"));
    EXPECT_TRUE(s.driver->active());
    EXPECT_TRUE(contains(s.next(), ", file=" + logDir + "/melvok-0000.log"))
        << "the redirect notice";
    EXPECT_EQ(s.next(), "");
    EXPECT_TRUE(s.line(""));  // empty lines are swallowed now
    EXPECT_FALSE(s.line("hello world"));
    for (const char* line : {"protover 2", "protover", "protover 1 extra"}) {
      EXPECT_TRUE(s.line(line));
      std::string features;
      for (const std::string& sent : s.sync()) features += sent + ";";
      EXPECT_EQ(
          features,
          "feature ping=1;feature setboard=1;feature usermove=1;feature myname=\"melvok-test\";"
          "feature analyze=1;feature variants=\"normal,fischerandom\";feature colors=0;"
          "feature ics=1;feature name=1;feature pause=1;feature smp=1;feature memory=1;" +
              std::string(SyzygyTables::builtIn() ? "feature egt=\"syzygy\";" : "") +
              "feature time=1;feature nps=1;feature exclude=1;"
              "feature option=\"MultiPV -spin 1 1 64\";"
              "feature option=\"SyzygyProbeDepth -spin 1 1 100\";"
              "feature option=\"Syzygy50MoveRule -check 1\";"
              "feature option=\"SyzygyProbeLimit -spin 7 0 7\";"
              "feature option=\"Move Overhead -spin 10 0 5000\";"
              "feature option=\"Strength -spin 2150 1000 2150\";"
              "feature option=\"Bitbase Cache -spin 16 16 2047\";"
              "feature option=\"Bitbase Path -string \";feature done=1;")
          << line;
    }
  }
  // The log takes the next free number.
  WinBoardSession second(logDir);
  EXPECT_NE(readFile(logDir + "/melvok-0001.log"), "");
}

// A fixed time per move outlasts an empty clock. (Clocks from level and time: the matches.)
TEST(WinBoardDriver, FixedTimePerMove) {
  WinBoardSession s;
  s.lines({"new", "st 7", "time 0", "sd 1", "go"});
  s.until("move ");
  s.settle();
  EXPECT_EQ(s.engine.nominalTimeMs(), 7000u);
}

// Clocks come in centiseconds (`time`), controls in minutes[:seconds] with the increment in
// seconds (`level`). The plan's normal level, worked out by hand: 2 s for 40 moves gives 43 ms,
// 10 s + 0.1 s gives 475 ms, each doubled as the first move out of book.
TEST(WinBoardDriver, ClocksFromLevelAndTime) {
  WinBoardSession s;
  const struct {
    const char* level;
    const char* time;
    uint32_t normalMs;
  } cases[] = {{"level 40 0:02 0", "time 200", 86}, {"level 0 0:10 0.1", "time 1000", 950}};
  for (const auto& c : cases) {
    s.lines({"new", c.level, c.time, "sd 1", "nopost", "go"});
    s.until("move ");
    s.settle();
    EXPECT_EQ(s.engine.nominalTimeMs(), c.normalMs) << c.level;
  }
}

// Fractions of a second (python-chess sends "st 0.5"), and time counted in nodes: "nps 1" and
// "st 1" allow a single node, so the move comes from the first iteration alone.
TEST(WinBoardDriver, FractionalTimesAndNodeBudgets) {
  WinBoardSession s;
  s.lines({"new", "st 0.5", "sd 1", "go"});
  s.until("move ");
  s.settle();
  EXPECT_EQ(s.engine.nominalTimeMs(), 500u);
  s.lines({"new", "nps 1", "st 1", "post", "go"});
  const Lines searched = s.until("move ");
  ASSERT_GE(searched.size(), 2u);
  for (size_t i = 0; i + 1 < searched.size(); i++)
    EXPECT_EQ(searched[i].rfind("1 ", 0), 0u) << "only depth 1 within one node: " << searched[i];
  s.settle();
  // An st of its own gives the clock back: a second again (a new game or level does too).
  s.lines({"force", "st 1", "sd 1", "go"});
  s.until("move ");
  s.settle();
  EXPECT_EQ(s.engine.nominalTimeMs(), 1000u);
}

// Mate scores as interfaces read them: 100000 + N for a mate in N moves, -100000 - N for being
// mated in N.
TEST(WinBoardDriver, MateScoresInTheThinkingOutput) {
  WinBoardSession s;
  const struct {
    const char* fen;
    const char* score;
  } cases[] = {{"7k/8/6K1/8/8/8/8/R7 w - - 0 1", "100001"},   // Ra8 mates
               {"k7/8/1K6/8/8/8/8/7R b - - 0 1", "-100001"},  // Kb8, then Rh8 mates
               {"k7/8/2K5/8/8/8/8/7R w - - 0 1", "100002"}};  // Kb6 Kb8, Rh8
  for (const auto& c : cases) {
    s.lines({"new", "force", std::string("setboard ") + c.fen});
    s.lines(PlentyOfTime);
    s.lines({"sd 4", "post", "go"});
    const Lines searched = s.until("move ");
    s.settle();
    ASSERT_GE(searched.size(), 2u) << c.fen;
    const std::string& last = searched[searched.size() - 2];
    const size_t blank = last.find(' ');
    EXPECT_EQ(last.substr(blank + 1, last.find(' ', blank + 1) - blank - 1), c.score)
        << c.fen << ": " << last;
  }
}

TEST(WinBoardDriver, TakeBacksAndBadInputLeaveTheGameAlone) {
  WinBoardSession s;
  s.lines({"new", "undo", "force", "usermove e2e4"});
  EXPECT_EQ(s.sync(), Lines{"tellusererror cannot undo"});
  const std::string afterE4 = s.fen();
  s.lines({"usermove e7e5", "usermove g1f3", "remove"});
  EXPECT_EQ(s.fen(), afterE4);
  for (const char* bad : {"usermove e2e5", "usermove", "usermove O-O", "usermove e2e4"})
    s.line(bad);
  EXPECT_EQ(s.sync(), (Lines{"Illegal move: e2e5", "Illegal move: ", "Illegal move: O-O",
                             "Illegal move: e2e4"}));
  EXPECT_EQ(s.fen(), afterE4);
  for (const char* bad :
       {"setboard", "setboard rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq - 0 1",
        "setboard 8/8/8/8/8/8/8/8 w - - 0 1", "setboard kkk5/8/8/8/8/8/8/K7 w - - 0 1",
        "setboard xyz", "variant crazyhouse"}) {
    s.line(bad);
    const bool variant = bad[0] == 'v';
    EXPECT_EQ(s.sync(), Lines{variant ? "tellusererror variant not supported: crazyhouse"
                                      : "tellusererror Illegal position"})
        << bad;
    EXPECT_EQ(s.fen(), afterE4) << bad;
  }
  s.lines({"undo", "remove"});
  EXPECT_EQ(s.sync(), (Lines{"tellusererror cannot undo", "tellusererror cannot undo"}));
  EXPECT_EQ(s.fen(), StartFen);
  s.line("setboard 4k3/8/8/8/8/8/8/4K2R w K - 0 1");
  s.line("undo");  // the new position is where the game starts
  EXPECT_EQ(s.sync(), Lines{"tellusererror cannot undo"});
  EXPECT_EQ(s.fen(), "4k3/8/8/8/8/8/8/4K2R w K - 0 0");
}

TEST(WinBoardDriver, ResultLinesAndChess960Castling) {
  const struct {
    const char* variant;
    const char* fen;
    Lines expected;
  } cases[] = {
      {"normal", "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", {"move a1a8", "1-0 {White mates}"}},
      {"normal", "r5k1/8/8/8/8/8/5PPP/6K1 b - - 0 1", {"move a8a1", "0-1 {Black mates}"}},
      {"normal", "k7/2Q5/1K6/8/8/8/8/8 b - - 0 1", {"1/2-1/2 {Stalemate}"}},   // no move
      {"normal", "R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", {"1-0 {White mates}"}},  // mated already
      // The only mates castle: the king on b1 (or f1) keeps the rook from the file alone.
      {"fischerandom", "2rkr3/2p1p3/8/8/8/8/8/RK6 w A - 0 1", {"move O-O-O", "1-0 {White mates}"}},
      {"fischerandom", "4rkr1/4p1p1/8/8/8/8/8/5K1R w H - 0 1", {"move O-O", "1-0 {White mates}"}},
  };
  WinBoardSession s;
  for (const auto& c : cases) {
    s.lines({"new", std::string("variant ") + c.variant, std::string("setboard ") + c.fen});
    s.lines(PlentyOfTime);
    s.lines({"nopost", "go"});
    s.settle();
    EXPECT_EQ(s.sync(), c.expected) << c.fen;
  }
  EXPECT_EQ(s.fen(), "4rkr1/4p1p1/8/8/8/8/8/5RK1 b - - 1 1");
  // The opponent castles in a Chess960 game too, and takes it back.
  s.lines({"new", "variant fischerandom",
           "setboard rk2r3/pppppppp/8/8/8/8/PPPPPPPP/RK2R3 w AEae - 0 1", "force", "usermove O-O-O",
           "usermove O-O"});
  EXPECT_EQ(s.sync(), Lines{});
  EXPECT_EQ(s.fen(), "r4rk1/pppppppp/8/8/8/8/PPPPPPPP/2KRR3 w - - 2 2");
  s.line("remove");
  EXPECT_EQ(s.fen(), "rk2r3/pppppppp/8/8/8/8/PPPPPPPP/RK2R3 w KQkq - 0 0");
}

}  // namespace
