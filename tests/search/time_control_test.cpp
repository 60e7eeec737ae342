// Time levels from clocks, and the level state machine during a search.
#include "search/time_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>

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

// Every clock an interface may send, with every gap: no level takes more than the clock less
// the margin; the margin is never more than a small share of the clock (or a round trip per
// move to go) and never less than those round trips (or the whole clock); the levels rise with
// their factors.
TEST(TimeControl, LevelsNeverExceedTheClockLessTheMargin) {
  std::mt19937 random(14);
  const int clocks[] = {-500, 0,    1,     30,    99,     100,     250,      1000,
                        2999, 3000, 10000, 60000, 300000, 7200000, INT32_MAX};
  for (int round = 0; round < 3000; round++) {
    TimeControl tc;
    const int left = clocks[random() % std::size(clocks)] - int(random() % 7);
    tc.timeGapMs = int(random() % 4) * 1000;
    tc.canPonder = random() % 2;
    tc.movesOutOfBook = int(random() % 7);
    const int movesToGo = int(random() % 45) - 2, increment = int(random() % 3) * 100 - 50;
    tc.allotTime(movesToGo, left, increment);
    const int64_t clock = std::max(left, 0);
    const int64_t margin = clock - timeAvailable(left, tc.timeGapMs, movesToGo);
    const int64_t roundTrips = LatencyMarginMs * std::max(movesToGo, 1);
    SCOPED_TRACE(testing::Message() << "clock " << left << " gap " << tc.timeGapMs << " to go "
                                    << movesToGo << " inc " << increment);
    EXPECT_LE(margin, std::max(roundTrips, clock / GapShareDivisor));
    EXPECT_GE(margin, std::min(roundTrips, clock));
    for (int k = 0; k < 5; k++) EXPECT_LE(int64_t(tc.levelMs[k]), clock - margin) << k;
    for (int k = 1; k < 5; k++) EXPECT_LE(tc.levelMs[k - 1], tc.levelMs[k]) << k;
    if (clock >= roundTrips + 1000) {
      EXPECT_GT(tc.levelMs[LevelNormal], 0u);
    }
  }
}

// Long games at the controls the engine is tested at (with an increment or moves to go: without
// them every round trip is lost for good), every move using all the time of its normal level
// (every tenth its panic level) plus a round trip well under the latency margin: the flag never
// falls.
TEST(TimeControl, GamesNeverRunOutOfTime) {
  struct Control {
    int movesPerControl, baseMs, incrementMs;
  };
  const int roundTripMs = int(LatencyMarginMs) - 20;
  for (const Control control :
       {Control{0, 5000, 50}, Control{0, 10000, 100}, Control{0, 60000, 1000},
        Control{40, 300000, 0}, Control{40, 20000, 0}}) {
    TimeControl tc;
    tc.timeGapMs = 3000;
    int clock = control.baseMs;
    for (int move = 0; move < 200; move++) {
      const int toGo =
          control.movesPerControl ? control.movesPerControl - move % control.movesPerControl : 0;
      tc.allotTime(toGo, clock, control.incrementMs);
      clock -= int(tc.levelMs[move % 10 ? LevelNormal : LevelPanic]) + roundTripMs;
      ASSERT_GT(clock, 0) << "base " << control.baseMs << ", move " << move;
      clock += control.incrementMs;
      if (toGo == 1) clock += control.baseMs;
    }
  }
}

TEST(TimeControl, FirstMovesOutOfBookAndPonderingGetExtraTime) {
  auto nominal = [](int movesOutOfBook, int movesToGo, bool ponder) {
    TimeControl tc;
    tc.movesOutOfBook = movesOutOfBook;
    tc.canPonder = ponder;
    tc.allotTime(movesToGo, 410000, 0);
    return double(tc.levelMs[LevelNormal]);
  };
  const double plain = nominal(0, 40, false);
  EXPECT_NEAR(nominal(1, 40, false), 2 * plain, 2);  // 100 %, 75 %, 50 %, 25 % more
  EXPECT_NEAR(nominal(3, 40, false), 1.5 * plain, 2);
  EXPECT_EQ(nominal(5, 40, false), plain);
  EXPECT_EQ(nominal(1, 7, false), nominal(0, 7, false)) << "few moves to the control: no bonus";
  EXPECT_NEAR(nominal(1, 40, true), 2.6 * plain, 3) << "pondering adds 30 % after the bonus";
}

TEST(TimeControl, MoreClockOrIncrementNeverGivesLessTime) {
  uint32_t last = 0;
  for (int left = 0; left <= 400000; left += 250) {
    TimeControl tc;
    tc.timeGapMs = 3000;
    tc.allotTime(0, left, 0);
    EXPECT_GE(tc.levelMs[LevelNormal], last) << left;
    last = tc.levelMs[LevelNormal];
    tc.allotTime(0, left, 100);
    EXPECT_GE(tc.levelMs[LevelNormal], last) << left;
  }
}

TEST(TimeControl, PonderHitAdjustKeepsMovesToGoAndIncrement) {
  TimeControl tc, fresh;
  tc.allotTime(5, 10000, 100);
  tc.ponderHitAdjust(4000);
  fresh.allotTime(5, 4000, 100);
  for (int k = 0; k < 5; k++) EXPECT_EQ(tc.levelMs[k], fresh.levelMs[k]);
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
  const uint32_t normal = tc.levelMs[LevelNormal], failHigh = tc.levelMs[LevelFailHigh],
                 panic = tc.levelMs[LevelPanic];
  ASSERT_LT(normal, failHigh);
  ASSERT_LT(failHigh, panic);
  tc.startClock();
  EXPECT_EQ(tc.limitMs, normal);
  // No fail-high extension before the first iteration has a depth.
  tc.rootFailHigh();
  EXPECT_EQ(tc.level, uint32_t(LevelNormal));
  tc.setDepth(3);
  tc.rootFailHigh();
  EXPECT_EQ(tc.limitMs, failHigh);
  EXPECT_FALSE(tc.iterationTimeout());  // never while a fail-high is resolved
  tc.rootFailHighResolved();
  EXPECT_EQ(tc.limitMs, normal);
  tc.iterationDone(40);
  // Panic: a drop of more than 10 in a balanced position from depth 3 on.
  tc.firstMoveScore(30);
  EXPECT_EQ(tc.level, uint32_t(LevelNormal));
  tc.firstMoveScore(29);
  EXPECT_EQ(tc.limitMs, panic);
  tc.rootFailHigh();  // panic outranks the fail-high level
  EXPECT_EQ(tc.level, uint32_t(LevelPanic));
  tc.iterationDone(29);
  EXPECT_EQ(tc.limitMs, normal);
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
  EXPECT_EQ(tc.limitMs, tc.levelMs[LevelFailHigh]);  // the level in force
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
