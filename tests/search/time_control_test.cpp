// Time levels from clocks, and the level state machine during a search.
#include <gtest/gtest.h>

#include "search/time_control.h"

namespace {

void expectLevels(const TimeControl& tc, uint32_t l0, uint32_t l1, uint32_t l2, uint32_t l3,
                  uint32_t l4) {
  EXPECT_EQ(tc.levelMs[0], l0);
  EXPECT_EQ(tc.levelMs[1], l1);
  EXPECT_EQ(tc.levelMs[2], l2);
  EXPECT_EQ(tc.levelMs[3], l3);
  EXPECT_EQ(tc.levelMs[4], l4);
}

TEST(TimeControl, StartValues) {
  TimeControl tc;
  expectLevels(tc, 5000, 5000, 5000, 5000, 5000);
  EXPECT_EQ(tc.limitMs, 5000u);
  EXPECT_EQ(tc.level, uint32_t(LevelNormal));
}

TEST(TimeControl, OneMinuteSuddenDeath) {
  TimeControl tc;
  tc.allotTime(0, 60000, 0);
  // T = 1.5 * 60 s / 41 = 2195 ms.
  expectLevels(tc, 87, 878, 2195, 5487, 8780);
}

TEST(TimeControl, MovesToGoIncrementAndGapCapAtTheAvailableTime) {
  TimeControl tc;
  tc.timeGapMs = 3000;
  tc.allotTime(5, 10000, 100);
  // available 7 s, T = 10500 / 6 + 100 = 1850; 4 T = 7400 is capped at 7000.
  expectLevels(tc, 74, 740, 1850, 4625, 7000);
}

TEST(TimeControl, FirstMovesOutOfBookGetExtraTime) {
  TimeControl tc;
  tc.movesOutOfBook = 1;
  tc.allotTime(40, 41000, 0);  // T = 61500 / 41 = 1500, doubled
  EXPECT_EQ(tc.levelMs[2], 3000u);
  tc.movesOutOfBook = 3;  // half again
  tc.allotTime(40, 41000, 0);
  EXPECT_EQ(tc.levelMs[2], 2250u);
  tc.movesOutOfBook = 5;  // no bonus any more
  tc.allotTime(40, 41000, 0);
  EXPECT_EQ(tc.levelMs[2], 1500u);
  tc.movesOutOfBook = 1;  // few moves to the control: no bonus
  tc.allotTime(7, 8000, 0);
  EXPECT_EQ(tc.levelMs[2], 1500u);
}

TEST(TimeControl, PonderingAddsThirtyPercentAfterTheBookBonus) {
  TimeControl tc;
  tc.canPonder = 1;
  tc.movesOutOfBook = 1;
  tc.allotTime(40, 41000, 0);
  EXPECT_EQ(tc.levelMs[2], 3900u);
}

TEST(TimeControl, NoTimeLeftStillGivesAShortBudget) {
  TimeControl tc;
  tc.timeGapMs = 500;
  tc.allotTime(0, 200, 0);
  // budget 150 / 41 = 3 ms; every level is capped at 100 ms anyway.
  EXPECT_EQ(tc.levelMs[2], 3u);
  tc.allotTime(0, 200, 1000);
  expectLevels(tc, 40, 100, 100, 100, 100);
}

TEST(TimeControl, PonderHitAdjustKeepsMovesToGoAndIncrement) {
  TimeControl tc;
  tc.allotTime(5, 10000, 100);
  tc.ponderHitAdjust(4000);
  EXPECT_EQ(tc.levelMs[2], 6000u / 6 + 100);
}

TEST(TimeControl, FixedTimeSetsEveryLevel) {
  TimeControl tc;
  tc.timeGapMs = 700;
  tc.setFixedTime(5000);
  expectLevels(tc, 5000, 5000, 5000, 5000, 5000);
  EXPECT_EQ(tc.timeGapMs, 0);
}

TEST(TimeControl, LevelStateMachine) {
  TimeControl tc;
  tc.allotTime(0, 60000, 0);
  tc.startClock();
  EXPECT_EQ(tc.limitMs, 2195u);
  // No fail-high extension before the first iteration has a depth.
  tc.rootFailHigh();
  EXPECT_EQ(tc.level, uint32_t(LevelNormal));
  tc.setDepth(3);
  tc.rootFailHigh();
  EXPECT_EQ(tc.limitMs, 5487u);
  EXPECT_FALSE(tc.iterationTimeout());  // never while a fail-high is resolved
  tc.rootFailHighResolved();
  EXPECT_EQ(tc.limitMs, 2195u);
  tc.iterationDone(40);
  // Panic: a drop of more than 10 in a balanced position from depth 3 on.
  tc.firstMoveScore(30);
  EXPECT_EQ(tc.level, uint32_t(LevelNormal));
  tc.firstMoveScore(29);
  EXPECT_EQ(tc.limitMs, 8780u);
  tc.rootFailHigh();  // panic outranks the fail-high level
  EXPECT_EQ(tc.level, uint32_t(LevelPanic));
  tc.iterationDone(29);
  EXPECT_EQ(tc.limitMs, 2195u);
  EXPECT_EQ(tc.prevScore, 40);
  EXPECT_EQ(tc.lastScore, 29);
  // Unbalanced positions never panic.
  tc.iterationDone(400);
  tc.firstMoveScore(150);
  EXPECT_EQ(tc.level, uint32_t(LevelNormal));
}

TEST(TimeControl, InfiniteHasNoLimitUntilPonderHit) {
  TimeControl tc;
  tc.allotTime(0, 60000, 0);
  tc.infinite = 1;
  tc.startClock();
  EXPECT_EQ(tc.limitMs, NoTimeLimit);
  tc.setDepth(4);
  tc.rootFailHigh();
  EXPECT_EQ(tc.limitMs, NoTimeLimit);
  EXPECT_FALSE(tc.iterationTimeout());
  tc.ponderHit();
  EXPECT_EQ(tc.infinite, 0);
  EXPECT_EQ(tc.limitMs, 5487u);  // the level in force, here the fail-high level
}

TEST(TimeControl, IterationTimeoutComparesWithTheIterationLevel) {
  TimeControl tc;
  tc.setFixedTime(5000);
  tc.startClock();
  EXPECT_FALSE(tc.iterationTimeout());
  tc.startTick -= 5001;  // pretend 5.001 s have passed
  EXPECT_TRUE(tc.iterationTimeout());
  EXPECT_TRUE(tc.timeIsUp());
}

}  // namespace
