// Rapid command sequences from an impatient interface: moves, move-now, force, take-backs, new
// games, pondering and analysis in any order. Nothing may hang, no line may come out broken, and
// a stop never leaves a ponder move on the board.
#include <gtest/gtest.h>

#include <random>
#include <regex>

#include "protocol/winboard_move_text.h"
#include "protocol/winboard_session.h"
#include "support/positions.h"

namespace {

bool wellFormed(const std::string& line) {
  static const std::regex forms(
      "move ([a-h][1-8][a-h][1-8][QRBN]?|O-O|O-O-O)"
      "|\\d+ -?\\d+ \\d+ \\d+( ([a-h][1-8][a-h][1-8][QRBN]?|O-O|O-O-O))*"
      "|pong \\d+|Illegal move: \\S*|tellusererror cannot undo"
      "|1-0 \\{White mates\\}|0-1 \\{Black mates\\}|1/2-1/2 \\{Stalemate\\}");
  return std::regex_match(line, forms);
}

TEST(WinBoardStress, RapidCommandSequencesNeverHangOrBreakALine) {
  WinBoardSession s;
  const std::vector<std::string> commands = {"usermove e2e4",
                                             "usermove e7e5",
                                             "usermove g1f3",
                                             "usermove b8c6",
                                             "usermove d2d4",
                                             "usermove d7d5",
                                             "usermove e4d5",
                                             "usermove g8f6",
                                             "?",
                                             "force",
                                             "undo",
                                             "remove",
                                             "new",
                                             "go",
                                             "hard",
                                             "easy",
                                             "analyze",
                                             "exit",
                                             "sd 3",
                                             "sd 5",
                                             "time 500",
                                             "time 100000",
                                             "level 40 0:30 2",
                                             "post",
                                             "nopost"};
  std::mt19937 random(20240611);
  s.lines({"new", "level 0 1000 0", "time 6000000", "sd 4"});
  int lines = 0;
  for (int round = 0; round < 400; round++) {
    const std::string& command = commands[random() % commands.size()];
    s.line(command);
    if (round % 25 != 24) continue;
    // A barrier now and then: every line up to here is whole, and the driver still answers.
    for (const std::string& line : s.sync()) {
      EXPECT_TRUE(wellFormed(line)) << "after " << command << ": " << line;
      lines++;
    }
    ASSERT_FALSE(s.timedOut()) << "no answer after " << command;
  }
  EXPECT_GT(lines, 0);
  // The game can still be taken back to the start, exactly.
  s.lines({"exit", "force"});
  for (const std::string& line : s.sync()) EXPECT_TRUE(wellFormed(line)) << line;
  s.settle();
  EXPECT_EQ(s.driver->ponderMove(), 0u);
  EXPECT_EQ(s.driver->status(), WinBoardDriver::Idle);
  EXPECT_EQ(s.position.hashKey, computeHashKey(s.position));
  EXPECT_EQ(s.position.pawnKey, computePawnKey(s.position));
  while (s.position.ply > 0) s.line("undo");
  EXPECT_EQ(s.fen(), fenOf(*positionFrom(InitialFen)));
}

}  // namespace
