// Analysis over UCI against the built engine: MultiPV lines with searchmoves, refused input as
// info strings, and go mate with stockfish's mate distances as the oracle.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <string>

#include "e2e/uci_session.h"
#include "support/text.h"

namespace {

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
  EXPECT_EQ(after(linesStartingWith(text, "bestmove").back(), "bestmove"),
            after(linesStartingWith(text, "info depth 3 seldepth").back(), "pv"));
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

}  // namespace
