// WinBoard transcripts against the built engine: the shell hands lines over, the driver
// answers as an xboard interface expects, and quit ends the process even while it ponders.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "support/paths.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

constexpr int Patience = 30000;  // only for a broken engine: every search ends by depth

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct WinBoardEngine {
  explicit WinBoardEngine(const std::string& settings = "") {
    // One search thread: the same moves on every run.
    dir.write("melvok.ini", "search.nthreads = 1\n" + settings);
    Process::Options options;
    options.workingDirectory = dir.path();
    started = engine.start(enginePath(), {}, options);
  }
  // Sends the lines, then a ping, and returns everything printed before its pong.
  std::string exchange(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) engine.writeLine(line);
    const std::string pong = "pong " + std::to_string(++pings);
    engine.writeLine("ping " + std::to_string(pings));
    auto isPong = [&](const std::string& line) { return line == pong || line == pong + "\n"; };
    std::string text = engine.readUntil(isPong, Patience);
    EXPECT_TRUE(engine.matched()) << text;
    return text.substr(0, text.size() - pong.size() - 1);
  }
  std::string log() {
    std::ifstream in(dir.file("logs/melvok-0000.log"));
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  TempDir dir;
  Process engine;
  bool started = false;
  int pings = 0;
};

const std::vector<std::string> SearchToDepth3 = {"level 0 1000 0", "time 6000000", "sd 3"};

std::vector<std::string> with(std::vector<std::string> first,
                              const std::vector<std::string>& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

TEST(WinBoardTranscript, HandOverFeaturesAndFirstGame) {
  WinBoardEngine e;
  ASSERT_TRUE(e.started);
  e.engine.writeLine("hello");  // before xboard: the shell's
  std::string shell = e.engine.readUntil("no such command: hello", Patience);
  EXPECT_TRUE(e.engine.matched()) << shell;

  std::string hello = e.exchange({"xboard", "protover 2"});
  EXPECT_TRUE(contains(hello,
                       "feature ping=1\nfeature setboard=1\nfeature usermove=1\n"
                       "feature myname=\"melvok-0.1\"\nfeature analyze=1\n"
                       "feature variants=\"normal,fischerandom\"\nfeature colors=0\nfeature ics=1\n"
                       "feature name=1\nfeature pause=1\nfeature smp=1\nfeature memory=1\n"
                       "feature egt=0\nfeature time=1\nfeature done=1\n"))
      << hello;
  EXPECT_TRUE(contains(e.exchange({"protover 2"}), "feature done=1\n"));
  EXPECT_FALSE(contains(e.exchange({""}), "% "));  // no prompt, empty lines swallowed

  // new alone: the engine plays black and waits.
  EXPECT_EQ(e.exchange(with({"new", "accepted ping"}, SearchToDepth3)), "");
  // go: it plays white now, with thinking lines first.
  e.engine.writeLine("go");
  std::string first = e.engine.readUntil("move ", Patience);
  ASSERT_TRUE(e.engine.matched()) << first;
  EXPECT_TRUE(contains(first, "\n1 ") || first.rfind("1 ", 0) == 0) << first;
  e.exchange({});

  EXPECT_EQ(e.exchange({"force", "undo", "undo"}), "tellusererror cannot undo\n");
  EXPECT_EQ(e.exchange({"usermove e2e4", "usermove c7c5", "remove", "remove"}),
            "tellusererror cannot undo\ntellusererror cannot undo\n");  // the second remove has
                                                                        // nothing left
  // (The board's own diagnostic about the FEN may come first.)
  std::string badFen = e.exchange({"setboard 8/8/8/8 w - - 0 1", "undo"});
  EXPECT_TRUE(contains(badFen, "tellusererror Illegal position\ntellusererror cannot undo\n"))
      << badFen;
  EXPECT_EQ(e.exchange({"variant fischerandom", "variant suicide"}),
            "tellusererror variant not supported: suicide\n");
  EXPECT_EQ(e.exchange({"usermove e2e5"}), "Illegal Move: e2e5\n");

  e.engine.writeLine("quit");
  EXPECT_EQ(e.engine.wait(Patience), 0);
}

TEST(WinBoardTranscript, ResultLinesAndChess960Castling) {
  WinBoardEngine e;
  ASSERT_TRUE(e.started);
  e.exchange({"xboard", "protover 2", "nopost"});
  struct Case {
    std::vector<std::string> setup;
    std::string expected;
  } cases[] = {
      {{"new", "setboard 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1"}, "move a1a8\n1-0 {White mates}\n"},
      {{"new", "setboard r5k1/8/8/8/8/8/5PPP/6K1 b - - 0 1"}, "move a8a1\n0-1 {Black mates}\n"},
      {{"new", "setboard k7/2Q5/1K6/8/8/8/8/8 b - - 0 1"}, "1/2-1/2 {Stalemate}\n"},
      {{"new", "variant fischerandom", "setboard 2rkr3/2p1p3/8/8/8/8/8/RK6 w A - 0 1"},
       "move O-O-O\n1-0 {White mates}\n"},
      {{"new", "variant fischerandom", "setboard 4rkr1/4p1p1/8/8/8/8/8/5K1R w H - 0 1"},
       "move O-O\n1-0 {White mates}\n"},
  };
  for (const Case& c : cases) {
    e.exchange(with(c.setup, SearchToDepth3));
    e.engine.writeLine("go");
    std::string text = e.engine.readUntil("}", Patience);
    EXPECT_EQ(text, c.expected) << c.setup.back();
  }
  // The opponent castles in Chess960 too, and the engine answers.
  e.exchange({"new", "variant fischerandom",
              "setboard rk2r3/pppppppp/8/8/8/8/PPPPPPPP/RK2R3 w AEae - 0 1", "force",
              "usermove O-O-O"});
  e.engine.writeLine("usermove O-O");
  e.engine.writeLine("go");
  std::string reply = e.engine.readUntil("move ", Patience);
  EXPECT_TRUE(e.engine.matched()) << reply;
  e.engine.closeInput();
  EXPECT_EQ(e.engine.wait(Patience), 0);
}

TEST(WinBoardTranscript, ClocksInTheLogAndQuitWhilePondering) {
  WinBoardEngine e("winboard.logdir = logs\nwinboard.timegap = 1\n");
  ASSERT_TRUE(e.started);
  std::string hello = e.exchange({"xboard"});
  EXPECT_TRUE(contains(hello, "redirecting logging output to ")) << hello;
  EXPECT_TRUE(contains(hello, ", file=logs/melvok-0000.log\n")) << hello;
  // No ping between a move's request and the move: the move may come before the pong.
  for (const std::vector<std::string>& lines :
       {std::vector<std::string>{"new", "level 0 5 0", "sd 2", "go"},
        {"level 40 0:30 2", "sd 2", "usermove e7e5"},
        {"time 0", "st 2", "hard", "sd 40", "usermove g8f6"}}) {
    for (const std::string& line : lines) e.engine.writeLine(line);
    const std::string moved = e.engine.readUntil("move ", Patience);
    ASSERT_TRUE(e.engine.matched()) << moved;
  }
  // The move goes out before the engine turns to pondering: wait until the log shows it did.
  auto pondering = [&] {
    const std::string text = e.log();
    return contains(text, "]: think: ponder\n") || contains(text, "]: think: no move to ponder\n");
  };
  for (int waited = 0; !pondering() && waited < Patience; waited += 20)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  e.exchange({});
  e.engine.writeLine("quit");
  EXPECT_EQ(e.engine.wait(Patience), 0);

  const std::string log = e.log();
  EXPECT_TRUE(contains(log, "]: updatetime(): nmoves=0, millis=300000, incms=0\n")) << log;
  EXPECT_TRUE(contains(log, "]: updatetime(): nmoves=40, millis=30000, incms=2000\n")) << log;
  EXPECT_TRUE(contains(log, "]: remaining moves until time control=40 (nmoved=0)\n")) << log;
  EXPECT_TRUE(contains(log, "]: time(): warning no millis left!\n")) << log;
  EXPECT_TRUE(contains(log, "]: settime(): nseconds=2\n")) << log;
  EXPECT_TRUE(contains(log, "timegap=1000ms\n")) << log;
  // Pondering was on: the engine pondered, or had no expected reply in a line cut short by time.
  EXPECT_TRUE(contains(log, "]: think: ponder\n") || contains(log, "]: think: no move to ponder\n"))
      << log;
  EXPECT_TRUE(contains(log, "-->")) << log;
}

}  // namespace
