// WinBoard analysis of some moves only (exclude, include) and of several lines (MultiPV).
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "protocol/winboard_session.h"

namespace {

// After `command`, the first moves of the thinking lines at each depth (analyses end by sd).
std::map<int, std::multiset<std::string>> analyse(WinBoardSession& s, const std::string& command) {
  s.line(command);
  s.settle();
  std::map<int, std::multiset<std::string>> lines;
  for (const std::string& line : s.sync()) {
    std::istringstream words(line);
    int depth, score, time, nodes;
    std::string move;
    if (words >> depth >> score >> time >> nodes >> move) lines[depth].insert(move);
  }
  return lines;
}

TEST(WinBoardAnalysis, ExcludedMovesAndSeveralLines) {
  WinBoardSession s;
  for (const char* line : {"new", "force", "sd 2", "option MultiPV=2"}) s.line(line);
  using Moves = std::multiset<std::string>;
  EXPECT_EQ(analyse(s, "analyze").at(2).size(), 2u);
  for (const auto& [depth, moves] : analyse(s, "exclude e2e4")) EXPECT_EQ(moves.count("e2e4"), 0u);
  EXPECT_TRUE(analyse(s, "exclude all").empty());
  const auto onlyOne = analyse(s, "include g1f3");
  EXPECT_EQ(onlyOne, (std::map<int, Moves>{{1, {"g1f3"}}, {2, {"g1f3"}}}));
  s.line("exclude e2e5");
  EXPECT_EQ(s.sync(), std::vector<std::string>{"Error (illegal move): e2e5"});
  // The exclusions belong to their position.
  EXPECT_EQ(analyse(s, "usermove e2e4").size(), 2u);
}

}  // namespace
