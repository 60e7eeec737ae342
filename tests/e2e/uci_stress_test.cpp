// Hundreds of rapid position/go/stop/ponderhit sequences, as a hurried interface sends them: the
// engine never hangs, answers every go with exactly one best move, and writes nothing but whole
// protocol lines.
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "e2e/uci_session.h"
#include "support/text.h"

namespace {

void stress(const std::vector<std::string>& options, unsigned seed, bool ponder) {
  static const std::regex wellFormed(
      "info depth \\d+ seldepth \\d+ score (cp -?\\d+|mate -?\\d+)( lowerbound| upperbound)? "
      "nodes \\d+ nps \\d+ hashfull \\d+ time \\d+ pv( [a-h][1-8][a-h][1-8][qrbn]?)*"
      "|info depth \\d+ currmove [a-h][1-8][a-h][1-8][qrbn]? currmovenumber \\d+ nodes \\d+ "
      "nps \\d+ hashfull \\d+ time \\d+"
      "|bestmove ([a-h][1-8][a-h][1-8][qrbn]?( ponder [a-h][1-8][a-h][1-8][qrbn]?)?|0000)");
  const char* const openings[] = {
      "position startpos",
      "position startpos moves e2e4 e7e5 g1f3 b8c6 f1b5 a7a6",
      "position startpos moves d2d4 d7d5 c2c4 e7e6 b1c3 g8f6 c1g5",
      "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "position fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
      "position fen 8/P7/8/8/8/8/8/k6K w - - 0 1",
  };
  UciSession s;
  s.startUci();
  for (const std::string& option : options) s.send(option);
  std::mt19937 random(seed);
  auto chance = [&](int percent) { return int(random() % 100) < percent; };
  auto depth = [&](int most) { return std::to_string(1 + random() % most); };
  std::string output;
  const int rounds = 300;
  for (int round = 0; round < rounds; round++) {
    s.send(openings[random() % std::size(openings)]);
    switch (random() % (ponder ? 6 : 4)) {
      case 0:  // a short search, stopped or not; the next position stops it if it still runs
        s.send("go depth " + depth(4));
        if (chance(50)) s.send("stop");
        break;
      case 1:
        s.send("go infinite");
        s.send("stop");
        break;
      case 2:
        s.send("go nodes " + std::to_string(500 + random() % 5000));
        if (chance(30)) s.send("stop");
        break;
      case 3:  // clocks, as in a game, bounded by a depth
        s.send("go wtime 100000 btime 100000 winc 500 binc 500 depth " + depth(3));
        if (chance(50)) s.send("stop");
        break;
      case 4:  // pondering that the interface ends
        s.send("go ponder wtime 100000 btime 100000");
        if (chance(50)) s.send("ponderhit");
        s.send("stop");
        break;
      case 5:  // pondering that may end by itself before the answer
        s.send("go ponder depth " + depth(3));
        s.send(chance(50) ? "ponderhit" : "stop");
        if (chance(30)) s.send("stop");
        break;
    }
    if (round % 10 == 9) output += s.sync();
  }
  s.send("stop");
  output += s.sync();
  const std::vector<std::string> lines = linesOf(output);
  for (size_t i = 0; i < lines.size(); i++) {
    EXPECT_TRUE(std::regex_match(lines[i], wellFormed)) << "broken line: '" << lines[i] << "'";
    // The line played comes once more just before the move.
    if (lines[i].rfind("bestmove", 0) == 0)
      EXPECT_TRUE(i > 0 && lines[i - 1].rfind("info depth ", 0) == 0 &&
                  lines[i - 1].find(" pv") != std::string::npos)
          << lines[i];
  }
  EXPECT_EQ(countLines(output, "bestmove"), rounds) << "every go is answered exactly once";
  EXPECT_EQ(s.quit(), 0);
}

TEST(UciStress, RapidSequencesWithoutPondering) {
  stress({"setoption name OwnBook value false"}, 7, false);
}

TEST(UciStress, RapidSequencesWithPonderingAndTwoThreads) {
  stress({"setoption name Ponder value true", "setoption name Threads value 2"}, 11, true);
}

}  // namespace
