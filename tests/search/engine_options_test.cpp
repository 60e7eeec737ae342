// The engine's own option rows reach the search: the time kept back per move, the strength
// level under its UCI and WinBoard names, and a bitbase folder that holds nothing.
#include <gtest/gtest.h>

#include "search/engine.h"
#include "support/text.h"

namespace {

class Silent : public SearchListener {
 public:
  void searchInfo(const SearchInfo&) override {}
  void finished(const SearchResult& result) override { best = result.best; }
  Move best = 0;
};

std::string current(Engine& engine, const char* name) {
  return engine.options().find(name)->current();
}

TEST(EngineOptions, MoveOverheadIsKeptBackFromEveryMoveOnTheClock) {
  Engine engine(16);
  SearchLimits limits;
  limits.timeLeftMs = 20000;
  limits.movesToGo = 10;
  limits.depth = 1;
  Silent listener;
  engine.think(limits, &listener);
  // 20 s for 10 moves, 10 ms kept back per move: the budget 19.9 s raised by a fifth and
  // spread over 11 moves, 23880 / 11 = 2170 ms.
  EXPECT_EQ(engine.nominalTimeMs(), 2170u);
  EXPECT_EQ(engine.setOption("Move Overhead", "1000"), "");
  engine.think(limits, &listener);
  // 1 s kept back for each of the 10 moves: 10 s and a fifth over 11 moves, 1090 ms.
  EXPECT_EQ(engine.nominalTimeMs(), 1090u);
  engine.setOption("Move Overhead", "99999");
  EXPECT_EQ(current(engine, "Move Overhead"), "5000") << "clamped to the row's bound";
}

TEST(EngineOptions, StrengthUnderItsUciAndWinBoardNames) {
  Engine engine(16);
  EXPECT_EQ(current(engine, "UCI_LimitStrength"), "false");
  engine.setOption("Strength", "1500");
  EXPECT_EQ(current(engine, "UCI_LimitStrength"), "true");
  EXPECT_EQ(current(engine, "UCI_Elo"), "1500");
  engine.setOption("Strength", "9999");  // the top of the scale is full strength
  EXPECT_EQ(current(engine, "UCI_LimitStrength"), "false");
  EXPECT_EQ(current(engine, "Strength"), std::to_string(FullStrengthElo));
  engine.setOption("UCI_LimitStrength", "true");
  engine.setOption("UCI_Elo", "400");
  EXPECT_EQ(current(engine, "Strength"), std::to_string(MinStrengthElo));
}

TEST(EngineOptions, ABitbaseFolderWithoutTheLibraryLeavesTheSearchAlone) {
  Engine engine(16);
  const std::string said =
      captureStdout([&] { EXPECT_EQ(engine.setOption("Bitbase Path", "/nonexistent/egbb"), ""); });
  EXPECT_TRUE(contains(said, "EGBB: WARNING egbb dll not found: /nonexistent/egbb/")) << said;
  EXPECT_EQ(current(engine, "Bitbase Path"), "/nonexistent/egbb");
  SearchLimits limits;
  limits.depth = 3;
  Silent listener;
  engine.think(limits, &listener);
  EXPECT_NE(listener.best, 0);
  EXPECT_EQ(engine.setOption("Bitbase Path", ""), "");
}

}  // namespace
