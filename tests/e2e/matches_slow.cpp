// melvok under real clients: Debian's xboard (headless under xvfb-run) plays short matches
// against hoichess with melvok as a WinBoard engine (pondering off and on) and as a UCI engine
// through polyglot. The games are judged from what xboard writes. A ponder hit through polyglot
// is forced: the test plays the move polyglot hints at.
#include <gtest/gtest.h>

#include <regex>
#include <sstream>

#include "board/notation.h"
#include "support/paths.h"
#include "support/positions.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace {

// Two games of 10 seconds and a tenth per move, melvok first (`melvok`: its xboard options, no
// blanks in any word); xboard's settings and HOME stay in the directory, for this child only.
std::string playMatch(const TempDir& dir, const std::string& melvok) {
  const std::string d = dir.path();
  std::istringstream words("HOME=" + d + " PATH=/usr/games:/usr/bin:/bin xvfb-run -a xboard " +
                           melvok + " -fd " + d + " -scp hoichess -sd " + d +
                           " -matchGames 2 -tc 0:10 -inc 0.1" +
                           " -autoCallFlag true -saveGameFile " + d + "/games.pgn -xexit -debug" +
                           " -nameOfDebugFile " + d + "/xboard.log");
  std::vector<std::string> args;
  for (std::string word; words >> word;) args.push_back(word);
  Process xboard;
  Process::Options options;
  options.workingDirectory = dir.path();
  EXPECT_TRUE(xboard.start("/usr/bin/env", args, options)) << xboard.failure();
  const std::string output = xboard.readAll(170000);
  EXPECT_TRUE(xboard.matched()) << "the match did not end in time:\n" << output;
  EXPECT_EQ(xboard.wait(10000), 0) << output;
  return output;
}

// Both games ended by the rules (mate, stalemate, a draw rule or a resignation), never on time,
// by an illegal move, a crash or a lost connection; xboard saw no fault of the engine.
void judge(const TempDir& dir) {
  const std::string pgn = readFile(dir.file("games.pgn")), debug = readFile(dir.file("xboard.log"));
  const std::regex ending("\\{([^}]*)\\} (1-0|0-1|1/2-1/2)\\s*(\n|$)");
  int games = 0;
  for (std::sregex_iterator it(pgn.begin(), pgn.end(), ending), end; it != end; ++it, ++games) {
    const std::string reason = (*it)[1];
    EXPECT_TRUE(std::regex_search(
        reason, std::regex("mate|repetition|50|fifty|insufficient|material|resign|draw",
                           std::regex::icase)))
        << reason << "\n"
        << pgn;
    EXPECT_FALSE(std::regex_search(
        reason,
        std::regex("time|illegal|error|crash|exit|forfeit|disconnect|stall", std::regex::icase)))
        << reason << "\n"
        << pgn;
  }
  EXPECT_EQ(games, 2) << pgn;
  for (const char* fault :
       {"Illegal move", "Illegal Move", "tellusererror", "Error writing", "Broken pipe", "crashed"})
    EXPECT_FALSE(contains(debug, fault)) << fault;
}

TEST(Matches, WinBoardEngineUnderXboardWithAndWithoutPondering) {
  for (bool ponder : {false, true}) {
    TempDir dir;  // melvok reads no settings file: it starts in the directory, where there is none
    playMatch(dir, "-fcp " + enginePath() + " -ponderNextMove " + (ponder ? "true" : "false"));
    judge(dir);
    EXPECT_TRUE(
        contains(readFile(dir.file("xboard.log")), ponder ? ">first : hard" : ">first : easy"));
  }
}

TEST(Matches, UciEngineUnderXboardThroughPolyglot) {
  TempDir dir;
  dir.write("melvok.ini", "uci.logdir = logs\n");
  playMatch(dir, "-fcp " + enginePath() + " -fUCI -ponder");
  judge(dir);
  // Neither the driver nor the engine complained about a move from the interface.
  const std::string errors = readFile(dir.file("melvok-0.1-error.log"));
  for (const char* complaint : {"invalid move", "illegal move", "No move generated"})
    EXPECT_FALSE(contains(errors, complaint)) << errors;
}

// polyglot as the interface's side of a UCI game: the engine moves, polyglot has it ponder on the
// expected reply, the test plays that reply, and polyglot turns the ponder search into the search
// for the next move with ponderhit.
TEST(Matches, PonderHitThroughPolyglot) {
  TempDir dir;
  dir.write("melvok.ini", "uci.logdir = logs\n");
  Process polyglot;
  Process::Options options;
  options.workingDirectory = dir.path();
  ASSERT_TRUE(polyglot.start(findProgram("polyglot"),
                             {"-noini", "-ec", enginePath(), "-ed", dir.path()}, options))
      << polyglot.failure();
  auto game = positionFrom(InitialFen);
  polyglot.writeLine("xboard");
  polyglot.writeLine("protover 2");
  polyglot.readUntil("feature done=1", 30000);
  ASSERT_TRUE(polyglot.matched());
  for (const char* line : {"new", "hard", "sd 4", "level 0 5 0", "usermove e2e4"})
    polyglot.writeLine(line);
  playMoves(*game, {"e2e4"});
  for (int turn = 0; turn < 3; turn++) {
    const std::string moved = polyglot.readUntil("move ", 60000);
    ASSERT_TRUE(polyglot.matched()) << moved;
    playMoves(*game, {lastLineStartingWith(moved, "move ").substr(5)});
    polyglot.writeLine("hint");
    const std::string hint = polyglot.readUntil("Hint: ", 30000);
    ASSERT_TRUE(polyglot.matched()) << hint;
    char text[MoveTextSize];
    const std::string reply = coordinateMove(
        text, parseMove(*game, lastLineStartingWith(hint, "Hint: ").substr(6).c_str()));
    playMoves(*game, {reply});
    polyglot.writeLine("usermove " + reply);
  }
  polyglot.readUntil("move ", 60000);
  polyglot.writeLine("quit");
  polyglot.closeInput();
  EXPECT_EQ(polyglot.wait(30000), 0);
  const std::string log = readFile(dir.file("logs/melvok-0000.log"));
  EXPECT_GE(countOf(log, ":ponderhit\n"), 3) << log;
  EXPECT_GE(countOf(log, "<--bestmove "), 4) << log;
}

}  // namespace
