// melvok as a UCI engine under real clients: xboard (headless under xvfb-run) runs it through
// polyglot against hoichess. The games are judged from the PGN file xboard writes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/paths.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Debian puts the engines and xboard in /usr/games.
std::string findProgram(const std::string& name) {
  std::string path = std::string(getenv("PATH") ? getenv("PATH") : "") + ":/usr/games";
  std::stringstream dirs(path);
  for (std::string dir; std::getline(dirs, dir, ':');) {
    if (dir.empty()) continue;
    std::string candidate = dir + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

struct Game {
  std::string result;       // the Result tag
  std::string termination;  // the comment before the result at the end of the movetext
};

std::vector<Game> readGames(const std::string& pgn) {
  std::vector<Game> games;
  std::regex resultTag("\\[Result \"([^\"]*)\"\\]");
  std::regex ending("\\{([^{}]*)\\}\\s*(1-0|0-1|1/2-1/2|\\*)\\s*$");
  size_t start = pgn.find("[Event ");
  while (start != std::string::npos) {
    size_t next = pgn.find("[Event ", start + 1);
    std::string text =
        pgn.substr(start, next == std::string::npos ? std::string::npos : next - start);
    Game game;
    std::smatch m;
    if (std::regex_search(text, m, resultTag)) game.result = m[1];
    if (std::regex_search(text, m, ending)) game.termination = m[1];
    games.push_back(game);
    start = next;
  }
  return games;
}

// A game that ended by the rules: mate, stalemate, a draw rule, or a resignation. Never on
// time, by an illegal move, a crash or a lost connection.
bool endedByTheRules(const Game& game) {
  static const std::regex bad("time|illegal|crash|disconnect|forfeit|exit|abort|stall",
                              std::regex::icase);
  static const std::regex good(
      "checkmate|mates|stalemate|repetition|50|fifty|insufficient|material|resign|draw",
      std::regex::icase);
  if (game.result != "1-0" && game.result != "0-1" && game.result != "1/2-1/2") return false;
  return !std::regex_search(game.termination, bad) && std::regex_search(game.termination, good);
}

TEST(UciMatch, TwoGamesUnderXboardAndPolyglotAgainstHoichess) {
  const std::string xvfbRun = findProgram("xvfb-run");
  const std::string xboard = findProgram("xboard");
  const std::string polyglot = findProgram("polyglot");
  const std::string hoichess = findProgram("hoichess");
  ASSERT_FALSE(xvfbRun.empty() || xboard.empty() || polyglot.empty() || hoichess.empty())
      << "xvfb-run, xboard, polyglot and hoichess are needed (tests/support/packages.txt)";
  // xboard starts polyglot and hoichess by name.
  std::string path = std::string(getenv("PATH") ? getenv("PATH") : "") + ":/usr/games";
  setenv("PATH", path.c_str(), 1);

  TempDir dir;
  // xboard and polyglot keep settings in the home directory: give them a fresh one.
  setenv("HOME", dir.path().c_str(), 1);
  // The engine's own log shows what polyglot sent it; pondering is on, so "go ponder" and
  // "ponderhit" come from a real client.
  dir.write("melvok.ini", "uci.logdir = logs\n");
  const std::string pgn = dir.file("games.pgn");
  Process match;
  Process::Options options;
  options.workingDirectory = dir.path();
  std::vector<std::string> args = {"-a",
                                   xboard,
                                   "-fcp",
                                   enginePath(),
                                   "-fd",
                                   dir.path(),
                                   "-fUCI",
                                   "-scp",
                                   hoichess,
                                   "-sd",
                                   dir.path(),
                                   "-matchGames",
                                   "2",
                                   "-tc",
                                   "0:15",
                                   "-inc",
                                   "0.1",
                                   "-ponder",
                                   "-autoCallFlag",
                                   "true",
                                   "-saveGameFile",
                                   pgn,
                                   "-xexit",
                                   "-debug",
                                   "-nameOfDebugFile",
                                   dir.file("xboard.log"),
                                   "-settingsFile",
                                   dir.file("xboardrc"),
                                   "-saveSettingsFile",
                                   dir.file("xboardrc")};
  ASSERT_TRUE(match.start(xvfbRun, args, options)) << match.failure();
  std::string output = match.readAll(170000);
  ASSERT_TRUE(match.matched()) << "the match did not end in time:\n" << output;
  EXPECT_EQ(match.wait(10000), 0) << output;

  std::vector<Game> games = readGames(readFile(pgn));
  ASSERT_EQ(games.size(), 2u) << readFile(pgn) << output;
  for (const Game& game : games)
    EXPECT_TRUE(endedByTheRules(game)) << game.result << " {" << game.termination << "}\n"
                                       << readFile(pgn);

  // Neither the driver nor the engine complained about a move from the interface.
  std::string errors = readFile(dir.file("melvok-0.1-error.log"));
  EXPECT_EQ(errors.find("invalid move"), std::string::npos) << errors;
  EXPECT_EQ(errors.find("illegal move"), std::string::npos) << errors;
  EXPECT_EQ(errors.find("No move generated"), std::string::npos) << errors;

  // The numbered logs of the engine processes xboard started saw pondering and moves.
  std::string logs;
  int logCount = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.file("logs"))) {
    logs += readFile(entry.path().string());
    logCount++;
  }
  EXPECT_GE(logCount, 1);
  // The log runs each command word and its arguments together.
  EXPECT_TRUE(std::regex_search(logs, std::regex(":go[^\n]*ponder"))) << "no pondering seen";
  EXPECT_NE(logs.find(":ponderhit\n"), std::string::npos) << "no ponder hit seen";
  EXPECT_NE(logs.find("<--bestmove "), std::string::npos);
  EXPECT_NE(logs.find(":positionstartpos moves"), std::string::npos);
}

}  // namespace
