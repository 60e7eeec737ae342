// melvok as a WinBoard engine under a real interface: Debian's xboard, headless under
// xvfb-run, plays short matches against hoichess, once with pondering off and once with it on.
// The games are judged from what xboard writes: the PGN and its debug log.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>

#include "support/paths.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Match {
  std::string pgn;
  std::string debugLog;
  std::string engineLog;
  std::string output;
  int status = -1;
};

// Two games, melvok white first; 10 seconds per game and a tenth of a second per move.
Match playMatch(bool ponder) {
  TempDir dir;
  dir.write("melvok.ini", "winboard.logdir = " + dir.file("logs") + "\n");
  const std::string engine = enginePath() + " " + dir.file("melvok.ini");
  Process xboard;
  Process::Options options;
  options.workingDirectory = dir.path();
  // HOME in the temporary directory: xboard keeps its settings file there.
  std::vector<std::string> args = {"HOME=" + dir.path(),
                                   "PATH=/usr/games:/usr/bin:/bin",
                                   "xvfb-run",
                                   "-a",
                                   "xboard",
                                   "-fcp",
                                   engine,
                                   "-fd",
                                   dir.path(),
                                   "-scp",
                                   "hoichess",
                                   "-matchGames",
                                   "2",
                                   "-tc",
                                   "0:10",
                                   "-inc",
                                   "0.1",
                                   "-ponderNextMove",
                                   ponder ? "true" : "false",
                                   "-autoCallFlag",
                                   "true",
                                   "-saveGameFile",
                                   dir.file("games.pgn"),
                                   "-xexit",
                                   "-debug",
                                   "-nameOfDebugFile",
                                   dir.file("xboard.log")};
  Match match;
  if (!xboard.start("/usr/bin/env", args, options)) {
    ADD_FAILURE() << xboard.failure();
    return match;
  }
  match.output = xboard.readAll(170000);
  match.status = xboard.wait(10000);
  match.pgn = readFile(dir.file("games.pgn"));
  match.debugLog = readFile(dir.file("xboard.log"));
  match.engineLog =
      readFile(dir.file("logs/melvok-0000.log")) + readFile(dir.file("logs/melvok-0001.log"));
  return match;
}

void judge(const Match& match) {
  ASSERT_EQ(match.status, 0) << match.output;
  // Both games were played to an end that the rules give.
  std::regex result("\\{([^}]*)\\} (1-0|0-1|1/2-1/2)\\s*(\n|$)");
  int games = 0;
  for (std::sregex_iterator it(match.pgn.begin(), match.pgn.end(), result), end; it != end; ++it) {
    const std::string reason = (*it)[1];
    games++;
    printf("game %i: %s {%s}\n", games, std::string((*it)[2]).c_str(), reason.c_str());
    EXPECT_TRUE(std::regex_search(
        reason,
        std::regex("mate|Stalemate|[Rr]epetition|50|[Ii]nsufficient|resign", std::regex::icase)))
        << reason << "\n"
        << match.pgn;
    EXPECT_FALSE(std::regex_search(
        reason, std::regex("time|illegal|error|crash|exit|forfeit", std::regex::icase)))
        << reason << "\n"
        << match.pgn;
  }
  EXPECT_EQ(games, 2) << match.pgn;
  // The engine played its moves, never one that xboard refused, and never lost touch.
  EXPECT_NE(match.debugLog.find("<first : move "), std::string::npos);
  for (const char* fault : {"Illegal move", "Illegal Move", "tellusererror", "Error writing",
                            "exited", "Broken pipe", "crashed"})
    EXPECT_EQ(match.debugLog.find(fault), std::string::npos) << fault;
  EXPECT_NE(match.engineLog.find("]: think()"), std::string::npos);
  EXPECT_EQ(match.engineLog.find("Expected current status==IDLE"), std::string::npos);
}

TEST(WinBoardMatch, AgainstHoichessWithoutPondering) {
  Match match = playMatch(false);
  judge(match);
  EXPECT_NE(match.engineLog.find("]: think: pondering disabled\n"), std::string::npos);
  EXPECT_EQ(match.engineLog.find("]: think: ponder\n"), std::string::npos);
}

TEST(WinBoardMatch, AgainstHoichessWithPondering) {
  Match match = playMatch(true);
  judge(match);
  EXPECT_NE(match.debugLog.find(">first : hard"), std::string::npos);
  EXPECT_NE(match.engineLog.find("]: ponderhit"), std::string::npos);
}

}  // namespace
