// The Syzygy tables through every door of the built engine: the UCI options and their answers,
// a search in the tables (its score and tbhits), a path changed under a running search, the
// console's settings key and tbprobe, and WinBoard's egt feature and egtpath.
#include <gtest/gtest.h>

#include "e2e/uci_session.h"
#include "support/paths.h"
#include "support/text.h"

namespace {

const std::string TableDir = dataPath("syzygy");
const std::string Found = "Syzygy: 10 tables, up to 4 men";
// Queen and king against king, 15 plies to mate with best play.
const std::string QueenWin = "8/8/8/3k4/8/8/8/Q3K3 w - - 0 1";

bool unavailable(const std::string& answer) { return contains(answer, "Syzygy: unavailable"); }

TEST(SyzygyProtocol, UciOptionsSearchAndAnswers) {
  UciSession s("search.nthreads = 1\n");
  const std::string listing = s.startUci();
  for (const char* line : {"option name SyzygyPath type string default <empty>",
                           "option name SyzygyProbeDepth type spin default 1 min 1 max 100",
                           "option name Syzygy50MoveRule type check default true",
                           "option name SyzygyProbeLimit type spin default 7 min 0 max 7"})
    EXPECT_EQ(countLines(listing, line), 1) << line << "\n" << listing;

  s.send("setoption name SyzygyPath value " + TableDir);
  std::string answer = s.sync();
  if (unavailable(answer)) GTEST_SKIP() << answer;
  EXPECT_EQ(answer, "info string " + Found + "\n");
  s.send("setoption name SyzygyPath value /no/such/folder");
  EXPECT_EQ(s.sync(),
            "info string Syzygy: no tables found in /no/such/folder (no folder /no/such/folder)\n");
  s.send("setoption name SyzygyPath value " + TableDir);
  EXPECT_EQ(s.sync(), "info string " + Found + "\n");

  // In the tables: the table's score (a win 15 plies from its mate), table hits, one move that
  // keeps the win.
  s.send("position fen " + QueenWin);
  s.send("go depth 6");
  const std::string search = s.until("bestmove");
  EXPECT_EQ(countLines(search, "bestmove"), 1);
  const std::vector<std::string> lines = linesStartingWith(search, "info depth 6 ");
  ASSERT_FALSE(lines.empty()) << search;
  EXPECT_TRUE(contains(lines.back(), " score cp 27985 ")) << lines.back();
  EXPECT_TRUE(contains(lines.back(), " tbhits ")) << lines.back();
  EXPECT_FALSE(contains(search, "bestmove a1d4") || contains(search, "bestmove a1e5")) << search;

  // Switched off: the evaluation's score, no table hits.
  s.send("setoption name SyzygyPath value <empty>");
  EXPECT_EQ(s.sync(), "info string Syzygy: off\n");
  s.send("go depth 6");
  const std::string plain = s.until("bestmove");
  EXPECT_FALSE(contains(plain, "tbhits") || contains(plain, "score cp 27985")) << plain;

  // A path sent while a search runs is refused; the search answers once all the same.
  s.send("go infinite");
  s.send("setoption name SyzygyPath value " + TableDir);
  s.send("stop");
  const std::string refused = s.until("bestmove");
  EXPECT_EQ(countLines(refused, "info string Syzygy: search running, tables not changed"), 1)
      << refused;
  EXPECT_EQ(countLines(refused, "bestmove"), 1);
  EXPECT_EQ(s.quit(), 0);
}

TEST(SyzygyProtocol, ConsoleSettingsKeyAndTableProbes) {
  const EngineRun run = runEngine(
      {"tbprobe " + QueenWin, "tbprobe 8/8/8/3k4/8/8/8/Q3K3 b - - 0 1",
       "tbprobe k7/1Q6/1K6/8/8/8/8/8 b - - 0 1", "tbprobe 8/8/3k4/3r4/8/8/3R4/3K4 w - - 0 1",
       "tbprobe 3qk3/8/8/8/8/8/8/Q3K3 w - - 0 1", "tbprobe nonsense", "tbprobe", "quit"},
      "syzygy.path = " + TableDir + "\n");
  if (unavailable(run.output)) GTEST_SKIP() << run.output;
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(countLines(run.output, Found), 1) << run.output;
  const std::vector<std::string> answers = linesStartingWith(run.output, "tbprobe");
  EXPECT_EQ(answers,
            (std::vector<std::string>{
                "tbprobe: wdl 2 dtz 15 (win)", "tbprobe: wdl -2 dtz -18 (loss)",
                "tbprobe: wdl -2 dtz -1 (loss)",  // mated
                "tbprobe: wdl 0 dtz 0 (draw)",
                "tbprobe: not in the tables",  // no KQvKQ here
                "tbprobe: not a position: nonsense", "tbprobe: not in the tables"}))  // castling
      << run.output;

  const EngineRun empty = runEngine({"tbprobe " + QueenWin, "quit"}, "syzygy.path = /no/such\n");
  EXPECT_EQ(countLines(empty.output, "Syzygy: no tables found in /no/such (no folder /no/such)"), 1)
      << empty.output;
  EXPECT_EQ(countLines(empty.output, "tbprobe: no Syzygy tables loaded"), 1) << empty.output;
  EXPECT_EQ(empty.status, 0);
}

TEST(SyzygyProtocol, WinBoardAnnouncesSyzygyAndTakesItsPath) {
  UciSession s("search.nthreads = 1\n");
  s.send("xboard");
  s.send("protover 2");
  const std::string features = s.until("feature done=1");
  s.send("egtpath syzygy " + TableDir);
  s.send("ping 1");
  const std::string answer = s.until("pong 1");
  if (unavailable(answer)) {
    EXPECT_EQ(countLines(features, "feature egt="), 0) << features;
    GTEST_SKIP() << answer;
  }
  EXPECT_EQ(countLines(features, "feature egt=\"syzygy\""), 1) << features;
  EXPECT_EQ(countLines(answer, "# " + Found), 1) << answer;
  s.send("egtpath gaviota /somewhere");
  s.send("ping 2");
  EXPECT_EQ(
      countLines(s.until("pong 2"), "# egtpath: no gaviota tables here, only syzygy and scorpio"),
      1);
  // Its tables in a game: the engine's move keeps the win.
  s.send("new");
  s.send("force");
  s.send("setboard " + QueenWin);
  s.send("sd 6");
  s.send("go");
  const std::string move = s.until("move ");
  EXPECT_FALSE(contains(move, "move a1d4") || contains(move, "move a1e5")) << move;
  EXPECT_EQ(s.quit(), 0);
}

}  // namespace
