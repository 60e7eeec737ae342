// Analysis over UCI against the built engine: MultiPV lines with searchmoves, refused input as
// info strings, and go mate with stockfish's mate distances as the oracle.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <string>
#include <thread>

#include "e2e/uci_session.h"
#include "support/text.h"

namespace {

std::string bestMove(const std::string& text) {
  const std::string line = lastLineStartingWith(text, "bestmove ");
  return line.empty() ? "<none>" : line;
}

std::string search(UciSession& s, const std::string& position, const std::string& go) {
  s.send(position);
  s.send(go);
  return s.until("bestmove");
}

std::string after(const std::string& line, const std::string& key) {
  std::smatch m;
  return std::regex_search(line, m, std::regex("(^| )" + key + " (\\S+)")) ? m[2].str() : "";
}

TEST(UciAnalysis, LinesOfListedMovesAndInfoStrings) {
  UciSession s;
  s.startUci();
  s.send("setoption name Threads value 1");
  s.send("setoption name MultiPV value 3");
  s.send("position startpos");
  s.send("go depth 3 searchmoves a2a3 zz h2h3");
  const std::string text = s.until("bestmove");
  std::string lines;  // "depth/line first-move " of every line with moves
  for (const std::string& info : linesStartingWith(text, "info depth "))
    if (!after(info, "pv").empty())
      lines += after(info, "depth") + "/" + after(info, "multipv") + " " + after(info, "pv") + " ";
  // Two lines (as many as moves) per depth, the last repeated with the best move.
  EXPECT_TRUE(std::regex_match(lines, std::regex("(([123])/1 (a2a3|h2h3) \\2/2 (a2a3|h2h3) ){3}"
                                                 "3/1 (a2a3|h2h3) ")))
      << text;
  EXPECT_EQ(after(lastLineStartingWith(text, "bestmove"), "bestmove"),
            after(lastLineStartingWith(text, "info depth 3 seldepth"), "pv"));
  EXPECT_NE(s.errors().find("zz"), std::string::npos);

  s.send("position fen 8/8/8/8/8/8/8/8 w - - 0 1");
  s.send("xyz");
  EXPECT_NE(text.find("info string illegal char in move zz: 122\n"), std::string::npos);
  EXPECT_EQ(s.sync(),
            "info string Illegal FEN: missing white king\n"
            "info string no such command: xyz\n");
}

// Stops by itself with a mate no longer than the oracle's; without a mate it runs until stop.
TEST(UciAnalysis, GoMateStopsWithTheMateOrRunsUntilStop) {
  Process oracle;
  ASSERT_TRUE(oracle.start("/usr/games/stockfish", {})) << "stockfish (scripts/test installs it)";
  oracle.writeLine("uci");
  UciSession s;
  s.startUci();
  for (const char* fen : {"r1b2k1r/ppp1bppp/8/1B1Q4/5q2/2P5/PPP2PPP/R3R1K1 w - - 1 1",
                          "2r3k1/p4p2/3Rp2p/1p2P1pK/8/1P4P1/P3Q2P/1q6 b - - 0 1",
                          "8/8/8/8/8/5k2/8/4K1QR w - - 0 1"}) {
    oracle.writeLine(std::string("position fen ") + fen + "\ngo depth 16");
    const std::string distance = after(oracle.readUntil("bestmove", 60000), "score mate");
    const int n = std::atoi(distance.c_str());
    ASSERT_GT(n, 0) << fen;
    s.send(std::string("position fen ") + fen + "\ngo mate " + distance);
    const std::string text = s.until("bestmove");
    const std::string final = text.substr(text.rfind("info depth"));  // with the best move
    const int found = std::atoi(after(final, "mate").c_str());
    EXPECT_TRUE(found >= 1 && found <= n) << fen << "\n" << text;
    // Ended by the mate, long before the deepest iteration.
    EXPECT_LE(std::atoi(after(final, "depth").c_str()), 4 * n) << text;
  }
  oracle.writeLine("quit");
  s.send("position startpos\ngo mate 3");
  EXPECT_EQ(s.until("info depth 7 ").find("bestmove"), std::string::npos);
  s.send("stop");
  s.until("bestmove");
  EXPECT_EQ(s.sync().find("bestmove"), std::string::npos);
}

// An infinite search (or a pondering one) that has nothing left to search — bare kings, a mate
// proven, no legal move — still answers only after stop (or ponderhit): interfaces that analyse
// take a bestmove as the end of the analysis they asked for. The answer comes once, after a last
// info line with the line played, and a proven mate keeps the depth it was proven at.
TEST(UciAnalysis, InfiniteSearchesAnswerOnlyAfterStop) {
  UciSession s;
  s.startUci();
  const struct {
    const char* fen;
    const char* go;
    const char* end;
    const char* answer;
    int deepest;  // iteration reported
  } cases[] = {
      {"8/8/8/4k3/8/8/8/4K3 w - - 0 1", "go infinite", "stop", "bestmove e1", 120},
      {"7k/8/6K1/8/8/8/8/R7 w - - 0 1", "go infinite", "stop", "bestmove a1a8", 1},
      {"7k/8/6K1/8/8/8/8/R7 w - - 0 1", "go ponder", "ponderhit", "bestmove a1a8", 1},
      {"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", "go infinite", "stop", "bestmove 0000", 0},
  };
  for (const auto& c : cases) {
    s.send(std::string("position fen ") + c.fen);
    s.send(c.go);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::string waiting = s.sync();
    EXPECT_EQ(countLines(waiting, "bestmove"), 0) << c.fen << "\n" << waiting;
    for (const std::string& info : linesStartingWith(waiting, "info depth "))
      EXPECT_LE(std::atoi(after(info, "depth").c_str()), c.deepest) << c.fen << "\n" << info;
    s.send(c.end);
    const std::vector<std::string> lines = linesOf(s.until("bestmove"));
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines.back().rfind(c.answer, 0), 0u) << c.fen << "\n" << lines.back();
    const std::string& last = lines[lines.size() - 2];
    EXPECT_EQ(last.rfind("info depth ", 0), 0u) << last;
    EXPECT_TRUE(contains(last, " score ") && contains(last, " pv")) << last;
    if (std::string(c.answer) != "bestmove 0000")
      EXPECT_EQ(after(last, "pv"), after(lines.back(), "bestmove")) << last;
    s.send("stop");
    EXPECT_EQ(countLines(s.sync(), "bestmove"), 0) << "answered once";
  }
}

// However short the clock or small the node budget, the first iteration completes (so the move
// played was searched), and a control of 40 moves in 2 s leaves time for more than that.
TEST(UciAnalysis, ShortClocksStillSearch) {
  UciSession s;
  s.startUci();
  // Rxb2 wins a pawn and comes first in the root order; only a whole first iteration sees Ra8#.
  for (const char* go : {"go nodes 1", "go wtime 30 btime 30 movestogo 40"}) {
    const std::string text = search(s, "position fen 7k/8/6K1/8/8/8/1p6/R7 w - - 0 1", go);
    EXPECT_EQ(bestMove(text), "bestmove a1a8") << go << "\n" << text;
  }
  std::string text;
  text = search(s, "position startpos", "go wtime 2000 btime 2000 movestogo 40");
  const std::string final = lastLineStartingWith(text, "info depth ");
  EXPECT_GE(std::atoi(after(final, "depth").c_str()), 2) << text;
  EXPECT_NE(after(final, "pv"), "") << text;
}

}  // namespace
