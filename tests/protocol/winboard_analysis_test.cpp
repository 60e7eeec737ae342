// WinBoard analysis of some moves only (exclude, include) and of several lines (option MultiPV).
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "protocol/winboard_session.h"

namespace {

// The thinking lines of analyses bounded by sd: the first moves of the lines at each depth.
std::map<int, std::multiset<std::string>> linesByDepth(const std::vector<std::string>& output) {
  std::map<int, std::multiset<std::string>> lines;
  for (const std::string& line : output) {
    std::istringstream words(line);
    int depth, score, time, nodes;
    std::string move;
    if (words >> depth >> score >> time >> nodes >> move) lines[depth].insert(move);
  }
  return lines;
}

std::map<int, std::multiset<std::string>> analyse(WinBoardSession& s, const std::string& command) {
  s.line(command);
  s.driver->waitUntilIdle();
  return linesByDepth(s.sync());
}

TEST(WinBoardAnalysis, ExcludedMovesAndSeveralLines) {
  WinBoardSession s;
  s.line("new");
  s.line("force");
  s.line("sd 3");
  s.line("option MultiPV=2");
  auto lines = analyse(s, "analyze");
  ASSERT_EQ(lines.size(), 3u);
  for (const auto& [depth, moves] : lines) EXPECT_EQ(moves.size(), 2u) << depth;

  analyse(s, "exclude e2e4");
  lines = analyse(s, "exclude d2d4");
  ASSERT_EQ(lines.size(), 3u);
  for (const auto& [depth, moves] : lines)
    EXPECT_EQ(moves.count("e2e4") + moves.count("d2d4"), 0u) << depth;

  EXPECT_TRUE(analyse(s, "exclude all").empty());
  lines = analyse(s, "include g1f3");
  ASSERT_EQ(lines.size(), 3u);
  for (const auto& [depth, moves] : lines)
    EXPECT_EQ(moves, std::multiset<std::string>{"g1f3"}) << depth;

  s.line("exclude e2e5");
  EXPECT_EQ(s.sync(), std::vector<std::string>{"Error (illegal move): e2e5"});

  // The exclusions belong to their position: after a move every reply is analysed again.
  lines = analyse(s, "usermove e2e4");
  ASSERT_EQ(lines.size(), 3u);
  for (const auto& [depth, moves] : lines) EXPECT_EQ(moves.size(), 2u) << depth;
  s.line("exit");
}

}  // namespace
