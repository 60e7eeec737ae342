// The WinBoard driver fed line by line, its answers read from its output: features, game
// set-up, clocks, moves and take-backs, results, analysis and the log file.
#include <gtest/gtest.h>

#include <regex>

#include "board/notation.h"
#include "protocol/winboard_move_text.h"
#include "protocol/winboard_session.h"
#include "support/temp_dir.h"

namespace {

using Lines = std::vector<std::string>;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// A clock so large that searches end by their depth limit, never by time.
void plentyOfTime(WinBoardSession& s, int depth) {
  s.line("level 0 1000 0");
  s.line("time 6000000");
  s.line("sd " + std::to_string(depth));
}

TEST(WinBoardDriver, SendsTheWholeFeatureListOnEveryProtover) {
  WinBoardSession s;
  const Lines features = {"feature ping=1",     "feature setboard=1",
                          "feature usermove=1", "feature myname=\"melvok-test\"",
                          "feature analyze=1",  "feature variants=\"normal,fischerandom\"",
                          "feature colors=0",   "feature ics=1",
                          "feature name=1",     "feature pause=1",
                          "feature smp=1",      "feature memory=1",
                          "feature egt=0",      "feature time=1",
                          "feature exclude=1",  "feature option=\"MultiPV -spin 1 1 64\"",
                          "feature done=1"};
  for (const char* line : {"protover 2", "protover", "protover 1 extra"}) {
    EXPECT_TRUE(s.line(line));
    EXPECT_EQ(s.sync(), features) << line;
  }
}

TEST(WinBoardDriver, QuietBeforeXboardAndLogsAfterwards) {
  TempDir dir;
  const std::string logDir = dir.file("logs/wb");
  {
    WinBoardSession s(logDir, false);
    EXPECT_FALSE(s.line("hello world"));  // for the shell
    EXPECT_FALSE(s.line(""));
    EXPECT_TRUE(s.line("ping 5"));
    EXPECT_EQ(s.next(), "pong 5");
    EXPECT_FALSE(s.driver->active());
    EXPECT_EQ(readWinBoardLog(logDir), "");  // nothing opened yet

    EXPECT_TRUE(s.line("xboard"));
    EXPECT_TRUE(s.driver->active());
    std::string redirect = s.next();
    EXPECT_TRUE(contains(redirect, "redirecting logging output to ")) << redirect;
    EXPECT_TRUE(contains(redirect, ", file=" + logDir + "/melvok-0000.log")) << redirect;
    EXPECT_EQ(s.next(), "");
    EXPECT_TRUE(s.line(""));  // empty lines are swallowed now
    EXPECT_FALSE(s.line("hello world"));
    EXPECT_TRUE(s.line("rejected smp"));
    EXPECT_TRUE(s.line("time 0"));
    EXPECT_EQ(s.sync(), Lines{});
  }
  const std::string log = readWinBoardLog(logDir);
  EXPECT_TRUE(std::regex_search(log, std::regex("\n-->\\d{11}:\\[_idle_\\]: hello world\n")))
      << log;
  EXPECT_TRUE(std::regex_search(
      log, std::regex("\n   \\d{11}:\\[_idle_\\]: unknown winboard command: hello\n")))
      << log;
  EXPECT_TRUE(contains(log, "]: ignored rejected feature smp\n")) << log;
  EXPECT_TRUE(contains(log, "]: time(): warning no millis left!\n")) << log;
  EXPECT_TRUE(std::regex_search(log, std::regex("\n<--\\d{11}:\\[_idle_\\]: pong 1\n"))) << log;
  EXPECT_FALSE(contains(log, "ping 5")) << log;  // before xboard nothing is logged

  // The next log gets the next free number.
  WinBoardSession second(logDir);
  EXPECT_NE(readWinBoardLog(logDir, 1), "");
}

TEST(WinBoardDriver, NewAndGoPlaysWhiteWhileNewAloneWaits) {
  WinBoardSession s;
  s.line("new");
  plentyOfTime(s, 3);
  EXPECT_EQ(s.sync(), Lines{});  // the engine plays black and white is to move
  EXPECT_EQ(s.driver->engineSide, 1);
  EXPECT_EQ(s.driver->status(), WinBoardDriver::Idle);

  s.line("go");
  Lines lines = s.until("move ");
  ASSERT_FALSE(s.timedOut());
  Position start;
  setFen(start, InitialFen);
  const std::string played = lines.back().substr(5);
  EXPECT_NE(parseMove(start, played.c_str()), 0u) << played;
  EXPECT_EQ(s.driver->engineSide, 0);
  s.driver->waitUntilIdle();
  EXPECT_EQ(s.position.ply, 1u);
  EXPECT_EQ(s.position.sideToMove, uint32_t(Black));
  // Thinking output came before the move: depth, score, centiseconds, nodes, moves.
  std::regex thinking("\\d+ -?\\d+ \\d+ \\d+( [a-h][1-8][a-h][1-8][QRBN]?| O-O| O-O-O)+");
  ASSERT_GE(lines.size(), 2u);
  for (size_t i = 0; i + 1 < lines.size(); i++)
    EXPECT_TRUE(std::regex_match(lines[i], thinking)) << lines[i];

  // The opponent answers and the engine moves again; a later new starts over as black.
  s.line("usermove e7e5");
  ASSERT_FALSE(s.until("move ").empty());
  s.driver->waitUntilIdle();
  EXPECT_EQ(s.position.ply, 3u);
  s.line("new");
  EXPECT_EQ(s.sync(), Lines{});
  EXPECT_EQ(s.fen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 0");
}

TEST(WinBoardDriver, NopostSilencesTheThinkingOutput) {
  WinBoardSession s;
  s.line("new");
  plentyOfTime(s, 3);
  s.line("nopost");
  s.line("go");
  Lines lines = s.until("move ");
  EXPECT_EQ(lines.size(), 1u) << lines.front();
}

TEST(WinBoardDriver, LevelAndTimeSetTheClock) {
  TempDir dir;
  WinBoardSession s(dir.path());
  s.line("new");
  s.line("level 0 5 0");
  EXPECT_EQ(s.driver->movesPerControl, 0);
  EXPECT_EQ(s.driver->timeLeftMs, 5u * 60 * 1000);
  EXPECT_EQ(s.driver->incrementMs, 0u);

  s.line("level 40 0:30 2");
  EXPECT_EQ(s.driver->movesPerControl, 40);
  EXPECT_EQ(s.driver->timeLeftMs, 30u * 1000);
  EXPECT_EQ(s.driver->incrementMs, 2u * 1000);
  EXPECT_EQ(s.driver->plyAtLevel, 0);

  s.line("sd 1");
  s.line("go");
  s.until("move ");
  s.driver->waitUntilIdle();
  const TimeControl& times = searchController.times();
  EXPECT_EQ(times.movesToGo, 40);
  EXPECT_EQ(times.timeLeftMs, 30000);
  EXPECT_EQ(times.incrementMs, 2000);
  EXPECT_EQ(times.timeGapMs, 3000);
  EXPECT_EQ(times.movesOutOfBook, 1);

  s.line("level 0 1 0.5");  // fractions of a second as increment
  EXPECT_EQ(s.driver->incrementMs, 500u);
  s.line("level");
  EXPECT_EQ(s.driver->movesPerControl, 40);
  s.line("time 0");
  EXPECT_EQ(s.driver->timeLeftMs, 0u);
  s.line("time 12345");
  EXPECT_EQ(s.driver->timeLeftMs, 123450u);
  s.line("time -50");  // a fallen flag
  EXPECT_EQ(s.driver->timeLeftMs, 0u);
  s.sync();
  const std::string log = readWinBoardLog(dir.path());
  EXPECT_TRUE(contains(log, "updatetime(): nmoves=40, millis=30000, incms=2000\n")) << log;
  EXPECT_TRUE(contains(log, "remaining moves until time control=40 (nmoved=0)\n")) << log;
  EXPECT_TRUE(contains(log, "WB: First search out of book is at 1 ply\n")) << log;
  EXPECT_TRUE(contains(log, "out of book=1\n")) << log;
  EXPECT_TRUE(contains(log, "timegap=3000ms\n")) << log;
  EXPECT_TRUE(contains(log, "time(): warning no millis left!\n")) << log;
  EXPECT_TRUE(contains(log, "maxdepth=1\n")) << log;
}

TEST(WinBoardDriver, FixedTimePerMoveOutlastsTheClock) {
  WinBoardSession s;
  s.line("new");
  s.line("st 7");
  s.line("time 0");
  s.line("sd 1");
  s.line("go");
  s.until("move ");
  s.driver->waitUntilIdle();
  for (uint32_t level : searchController.times().levelMs) EXPECT_EQ(level, 7000u);
}

TEST(WinBoardDriver, UndoAtTheStartAndRemove) {
  WinBoardSession s;
  s.line("new");
  s.line("undo");
  EXPECT_EQ(s.sync(), Lines{"tellusererror cannot undo"});
  s.line("force");
  s.line("usermove e2e4");
  const std::string afterE4 = s.fen();
  for (const char* move : {"usermove e7e5", "usermove g1f3"}) s.line(move);
  EXPECT_EQ(s.sync(), Lines{});
  EXPECT_EQ(s.position.ply, 3u);
  s.line("remove");
  EXPECT_EQ(s.fen(), afterE4);
  s.line("undo");
  EXPECT_EQ(s.fen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 0");
  EXPECT_EQ(s.position.hashKey, computeHashKey(s.position));
  s.line("remove");
  EXPECT_EQ(s.sync(), (Lines{"tellusererror cannot undo", "tellusererror cannot undo"}));
}

TEST(WinBoardDriver, IllegalMovesLeaveTheGameAlone) {
  WinBoardSession s;
  s.line("new");
  s.line("force");
  for (const char* move : {"usermove e2e5", "usermove", "usermove O-O", "usermove e7e5"})
    s.line(move);
  EXPECT_EQ(s.sync(), (Lines{"Illegal Move: e2e5", "Illegal Move: ", "Illegal Move: O-O",
                             "Illegal Move: e7e5"}));
  EXPECT_EQ(s.position.ply, 0u);
}

struct EndCase {
  const char* fen;
  std::vector<std::string> expected;
};

TEST(WinBoardDriver, MateAndStalemateResultLines) {
  const EndCase cases[] = {
      {"6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", {"move a1a8", "1-0 {White mates}"}},
      {"r5k1/8/8/8/8/8/5PPP/6K1 b - - 0 1", {"move a8a1", "0-1 {Black mates}"}},
      {"k7/2Q5/1K6/8/8/8/8/8 b - - 0 1", {"1/2-1/2 {Stalemate}"}},   // the engine has no move
      {"R5k1/5ppp/8/8/8/8/8/6K1 b - - 0 1", {"1-0 {White mates}"}},  // the engine is mated
      {"6rk/6pp/8/8/8/8/8/K5R1 w - - 0 1", {}},                      // no mate yet: just a move
  };
  for (const EndCase& c : cases) {
    WinBoardSession s;
    s.line("new");
    s.line(std::string("setboard ") + c.fen);
    plentyOfTime(s, 3);
    s.line("nopost");
    s.line("go");
    s.driver->waitUntilIdle();
    Lines lines = s.sync();
    if (c.expected.empty()) {
      ASSERT_EQ(lines.size(), 1u) << c.fen;
      EXPECT_EQ(lines[0].substr(0, 5), "move ") << c.fen;
    } else {
      EXPECT_EQ(lines, c.expected) << c.fen;
    }
  }
}

TEST(WinBoardDriver, SetboardWithABadFenKeepsThePosition) {
  WinBoardSession s;
  s.line("new");
  s.line("force");
  s.line("usermove d2d4");
  const std::string before = s.fen();
  for (const char* bad : {"setboard", "setboard rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq - 0 1",
                          "setboard 8/8/8/8/8/8/8/8 w - - 0 1",
                          "setboard kkk5/8/8/8/8/8/8/K7 w - - 0 1", "setboard xyz"}) {
    s.line(bad);
    EXPECT_EQ(s.sync(), Lines{"tellusererror Illegal position"}) << bad;
    EXPECT_EQ(s.fen(), before) << bad;
  }
  s.line("undo");
  EXPECT_EQ(s.fen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 0");
  s.line("setboard 4k3/8/8/8/8/8/8/4K2R w K - 0 1");
  EXPECT_EQ(s.sync(), Lines{});
  EXPECT_EQ(s.fen(), "4k3/8/8/8/8/8/8/4K2R w K - 0 0");
  s.line("undo");  // the new position is where the game starts
  EXPECT_EQ(s.sync(), Lines{"tellusererror cannot undo"});
}

TEST(WinBoardDriver, VariantsAndChess960Castling) {
  WinBoardSession s;
  s.line("variant normal");
  s.line("variant fischerandom");
  EXPECT_EQ(s.sync(), Lines{});
  s.line("variant crazyhouse");
  EXPECT_EQ(s.sync(), Lines{"tellusererror variant not supported: crazyhouse"});

  // The only mates castle: the king on b1 (or f1) keeps the rook from reaching the file alone.
  const EndCase cases[] = {
      {"2rkr3/2p1p3/8/8/8/8/8/RK6 w A - 0 1", {"move O-O-O", "1-0 {White mates}"}},
      {"4rkr1/4p1p1/8/8/8/8/8/5K1R w H - 0 1", {"move O-O", "1-0 {White mates}"}},
  };
  for (const EndCase& c : cases) {
    s.line("new");
    s.line("variant fischerandom");
    s.line(std::string("setboard ") + c.fen);
    plentyOfTime(s, 2);
    s.line("nopost");
    s.line("go");
    s.driver->waitUntilIdle();
    EXPECT_EQ(s.sync(), c.expected) << c.fen;
  }
  EXPECT_EQ(s.fen(), "4rkr1/4p1p1/8/8/8/8/8/5RK1 b - - 1 1");

  // The opponent castles in a Chess960 game: written O-O and O-O-O, and taken back.
  s.line("new");
  s.line("variant fischerandom");
  s.line("setboard rk2r3/pppppppp/8/8/8/8/PPPPPPPP/RK2R3 w AEae - 0 1");
  s.line("force");
  s.line("usermove O-O-O");
  s.line("usermove O-O");
  EXPECT_EQ(s.sync(), Lines{});
  EXPECT_EQ(s.fen(), "r4rk1/pppppppp/8/8/8/8/PPPPPPPP/2KRR3 w - - 2 2");
  s.line("remove");
  EXPECT_EQ(s.fen(), "rk2r3/pppppppp/8/8/8/8/PPPPPPPP/RK2R3 w KQkq - 0 0");
}

TEST(WinBoardDriver, AnalysisRunsInForceModeUntilExit) {
  WinBoardSession s;
  s.line("new");
  s.line("force");
  s.line("sd 4");
  s.line("analyze");
  s.driver->waitUntilIdle();  // the depth limit ends it; no move is played
  s.line("usermove e2e4");    // a new position is analysed at once
  s.driver->waitUntilIdle();
  s.line("undo");
  s.driver->waitUntilIdle();
  s.line("exit");
  s.line("usermove d2d4");
  Lines lines = s.sync();
  EXPECT_TRUE(linesStartingWith(lines, "move").empty());
  EXPECT_GE(lines.size(), 3u);  // thinking lines of three analyses
  EXPECT_EQ(s.driver->status(), WinBoardDriver::Idle);
  EXPECT_EQ(s.fen(), "rnbqkbnr/pppppppp/8/8/3P4/8/PPP1PPPP/RNBQKBNR b KQkq - 0 1");
}

}  // namespace
