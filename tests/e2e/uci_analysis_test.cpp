// Analysis over UCI against the built engine: MultiPV lines, searchmoves, go mate (mate
// distances from stockfish as the oracle) and refused input as info strings.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/uci_session.h"

namespace {

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The value after `key` in an info line ("" when it has none).
std::string field(const std::string& line, const std::string& key) {
  std::istringstream words(line);
  for (std::string word; words >> word;)
    if (word == key && words >> word) return word;
  return "";
}

// Lines with a pv, by depth: the line number each gives, its first move.
struct PvLine {
  int depth, line;
  std::string move;
};
std::vector<PvLine> pvLines(const std::string& text) {
  std::vector<PvLine> lines;
  for (const std::string& info : linesStartingWith(text, "info depth "))
    if (contains(info, " pv "))
      lines.push_back({std::stoi(field(info, "depth")), std::atoi(field(info, "multipv").c_str()),
                       field(info, "pv")});
  return lines;
}

std::string bestMove(const std::string& text) {
  const std::vector<std::string> lines = linesStartingWith(text, "bestmove ");
  return lines.empty() ? "" : field(lines.back(), "bestmove");
}

TEST(UciAnalysis, MultiPvLinesAndSearchmoves) {
  UciSession s;
  s.startUci();
  s.send("setoption name Threads value 1");
  s.send("setoption name MultiPV value 3");
  s.send("position startpos");
  s.send("go depth 4");
  std::string text = s.until("bestmove");
  // Lines 1 to 3 at every depth, distinct moves (the last line repeats line 1 with the best
  // move).
  std::vector<PvLine> lines = pvLines(text);
  ASSERT_FALSE(lines.empty());
  const PvLine final = lines.back();
  EXPECT_EQ(final.line, 1) << text;
  EXPECT_EQ(bestMove(text), final.move) << text;
  lines.pop_back();
  for (int depth = 1; depth <= 4; depth++) {
    std::vector<int> numbers;
    std::set<std::string> moves;
    for (const PvLine& l : lines) {
      if (l.depth != depth) continue;
      numbers.push_back(l.line);
      moves.insert(l.move);
    }
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3})) << text;
    EXPECT_EQ(moves.size(), 3u) << text;
    if (depth == 4) {
      EXPECT_EQ(moves.count(final.move), 1u) << text;
    }
  }

  // Moves that are no legal move here are dropped and named; the others restrict every line.
  s.send("go depth 4 searchmoves a2a3 e2e5 h2h3 zz");
  text = s.until("bestmove");
  const std::string errors = s.errors();
  EXPECT_TRUE(contains(errors, "e2e5") && contains(errors, "zz")) << errors;
  EXPECT_FALSE(contains(errors, "a2a3")) << errors;
  std::set<int> atDepth4;
  for (const PvLine& l : pvLines(text)) {
    EXPECT_TRUE(l.move == "a2a3" || l.move == "h2h3") << text;
    if (l.depth == 4) atDepth4.insert(l.line);
  }
  EXPECT_EQ(atDepth4, (std::set<int>{1, 2})) << text;  // as many lines as moves
  EXPECT_TRUE(bestMove(text) == "a2a3" || bestMove(text) == "h2h3") << text;

  // With no listed move left every move is searched.
  s.send("go depth 2 searchmoves e2e5");
  EXPECT_NE(bestMove(s.until("bestmove")), "");
  EXPECT_TRUE(contains(s.errors(), "no legal move left"));
}

const char* stockfishPath() {
  for (const char* path : {"/usr/games/stockfish", "/usr/bin/stockfish"})
    if (access(path, X_OK) == 0) return path;
  return nullptr;
}

// Stops by itself with a mate as short as the oracle's; without a mate it runs until stopped.
TEST(UciAnalysis, GoMateStopsWithTheMateOrRunsUntilStop) {
  const char* path = stockfishPath();
  ASSERT_NE(path, nullptr) << "stockfish not installed (scripts/test installs it)";
  Process oracle;
  ASSERT_TRUE(oracle.start(path, {})) << oracle.failure();
  oracle.writeLine("uci");
  UciSession s;
  s.startUci();
  for (const char* fen : {"r1b2k1r/ppp1bppp/8/1B1Q4/5q2/2P5/PPP2PPP/R3R1K1 w - - 1 1",
                          "r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1",
                          "2r3k1/p4p2/3Rp2p/1p2P1pK/8/1P4P1/P3Q2P/1q6 b - - 0 1",
                          "8/8/8/8/8/5k2/8/4K1QR w - - 0 1"}) {
    oracle.writeLine(std::string("position fen ") + fen);
    oracle.writeLine("go depth 16");
    const std::string answer = oracle.readUntil("bestmove", 60000);
    const size_t at = answer.rfind(" score mate ");
    ASSERT_NE(at, std::string::npos) << answer;
    const int distance = std::stoi(answer.substr(at + 12));
    ASSERT_GT(distance, 0) << answer;

    s.send(std::string("position fen ") + fen);
    s.send("go mate " + std::to_string(distance));
    const std::string text = s.until("bestmove");
    std::string last;
    for (const std::string& line : linesStartingWith(text, "info depth "))
      if (contains(line, " score ")) last = line;
    ASSERT_TRUE(contains(last, " score mate ")) << text;
    const int found = std::stoi(field(last, "mate"));
    EXPECT_GE(found, 1) << text;
    EXPECT_LE(found, distance) << fen << "\n" << text;
    // It ended with the mate, long before the deepest iteration.
    EXPECT_LE(std::stoi(field(last, "depth")), 4 * distance) << text;
    EXPECT_EQ(bestMove(text), field(last, "pv")) << text;
  }
  oracle.writeLine("quit");

  s.send("position startpos");
  s.send("go mate 3");
  const std::string running = s.untilContains("info depth 7 ");
  EXPECT_FALSE(contains(running, "bestmove")) << running;
  s.send("stop");
  s.until("bestmove");
  EXPECT_FALSE(contains(s.sync(), "bestmove"));
}

// Whatever the engine says about refused input reaches the interface as a UCI line.
TEST(UciAnalysis, RefusedInputBecomesInfoStrings) {
  UciSession s;
  s.startUci();
  s.send("position fen 8/8/8/8/8/8/8/8 w - - 0 1");
  s.send("xyz");
  s.send("position startpos moves e2e4 q9");
  const std::string text = s.sync();
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);)
    EXPECT_EQ(line.rfind("info string ", 0), 0u) << text;
  EXPECT_TRUE(contains(text, "info string Illegal FEN: missing white king\n")) << text;
  EXPECT_TRUE(contains(text, "info string no such command: xyz\n")) << text;
}

}  // namespace
