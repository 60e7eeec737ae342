// Time levels from clocks: the exact plan for the clocks interfaces send, the bounds that keep
// the flag up, and whole games at the controls people play. (Which level a search is in,
// fail-high or panic, is a matter of strength; the levels' bounds are what keeps the flag up.)
#include "search/time_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>

namespace {

struct Levels {
  uint32_t easy, iteration, normal, failHigh, panic;
};

// The levels of a clock with the usual three-second gap and the default overhead.
Levels levelsFor(int timeLeftMs, int movesToGo, int incrementMs) {
  TimeControl tc;
  tc.timeGapMs = 3000;
  tc.allotTime(movesToGo, timeLeftMs, incrementMs);
  return {tc.levelMs[LevelEasy], tc.levelMs[LevelIteration], tc.levelMs[LevelNormal],
          tc.levelMs[LevelFailHigh], tc.levelMs[LevelPanic]};
}

// Each amount worked out by hand from the plan: the reserve (the gap, at most a twentieth of
// the clock), the pool (less 10 ms for each move to go, plus the increments still to come), the
// nominal time (the pool and a fifth, or half again in sudden death, over the moves to go and
// one more; at most half the hard limit), the hard limit (a quarter of what the reserve leaves,
// less one overhead).
TEST(TimeControl, PlansForTheClocksInterfacesSend) {
  // 40 moves in 2 s: reserve 100, pool 1900 - 400, T = 1800 / 41, hard 475 - 10.
  Levels l = levelsFor(2000, 40, 0);
  EXPECT_EQ(l.normal, 43u);
  EXPECT_EQ(l.iteration, 21u);
  EXPECT_EQ(l.failHigh, 107u);
  EXPECT_EQ(l.panic, 172u);
  EXPECT_EQ(l.easy, 1u);
  // 99 moves in 5 s: reserve 250, pool 4750 - 990, T = 4512 / 100.
  EXPECT_EQ(levelsFor(5000, 99, 0).normal, 45u);
  // 10 s + 0.1 s: reserve 500, pool 9500 + 39 * 100 - 400 = 13000, T = 19500 / 41. Without the
  // increment it would be 332.
  l = levelsFor(10000, 0, 100);
  EXPECT_EQ(l.normal, 475u);
  EXPECT_EQ(l.panic, 1900u);
  // 48 s + 10 s: the increments would allow 15.9 s; half the hard limit (45600 / 4 - 10) caps
  // it, and no level passes the hard limit, less than a quarter of the clock.
  l = levelsFor(48000, 0, 10000);
  EXPECT_EQ(l.normal, 5695u);
  EXPECT_EQ(l.failHigh, 11390u);
  EXPECT_EQ(l.panic, 11390u);
  // 3 s + 2 s: hard limit 2850 / 4 - 10.
  l = levelsFor(3000, 0, 2000);
  EXPECT_EQ(l.normal, 351u);
  EXPECT_EQ(l.panic, 702u);
  // The last move before the clock is filled again may take half of it: 1 s left, 1 to go.
  l = levelsFor(1000, 1, 0);
  EXPECT_EQ(l.normal, 232u);
  EXPECT_EQ(l.panic, 465u);
  // A clock so short that the overhead eats it: every level 0 (the first iteration still runs).
  l = levelsFor(30, 40, 0);
  EXPECT_EQ(l.panic, 0u);
}

// Every clock an interface may send: no level above the hard limit, the hard limit at most a
// quarter of the clock (half or a third for the last two moves of a control), the reserve at
// most a twentieth, levels rising, and more clock or increment never less time.
TEST(TimeControl, LevelsRiseAndStayWithinTheHardLimit) {
  std::mt19937 random(14);
  const int clocks[] = {-500, 0,    1,     30,    99,     100,     250,      1000,
                        2999, 3000, 10000, 60000, 300000, 7200000, INT32_MAX};
  for (int round = 0; round < 3000; round++) {
    TimeControl tc, more;
    const int left = clocks[random() % std::size(clocks)] - int(random() % 7);
    tc.timeGapMs = more.timeGapMs = int(random() % 4) * 1000;
    tc.canPonder = more.canPonder = random() % 2;
    tc.movesOutOfBook = more.movesOutOfBook = int(random() % 7);
    tc.setMoveOverhead(int(random() % 3) * 50);
    more.setMoveOverhead(tc.moveOverheadMs);
    const int movesToGo = int(random() % 45) - 2, increment = int(random() % 3) * 100 - 50;
    tc.allotTime(movesToGo, left, increment);
    const int64_t clock = std::max(left, 0);
    const ClockPlan plan = planClock(left, increment, movesToGo, tc.timeGapMs, tc.moveOverheadMs);
    SCOPED_TRACE(testing::Message() << "clock " << left << " gap " << tc.timeGapMs << " to go "
                                    << movesToGo << " inc " << increment);
    EXPECT_LE(plan.reserveMs, clock / GapShareDivisor);
    const int64_t share = movesToGo == 1 ? 2 : movesToGo == 2 ? 3 : 4;
    EXPECT_LE(plan.hardLimitMs, clock / share);
    for (int k = 0; k < 5; k++) EXPECT_LE(int64_t(tc.levelMs[k]), plan.hardLimitMs) << k;
    for (int k = 1; k < 5; k++) EXPECT_LE(tc.levelMs[k - 1], tc.levelMs[k]) << k;
    EXPECT_LE(int64_t(tc.levelMs[LevelNormal]), plan.hardLimitMs / 2);
    if (left < INT32_MAX - 1000) {
      more.allotTime(movesToGo, left + 1000, increment + 100);
      EXPECT_GE(more.levelMs[LevelNormal], tc.levelMs[LevelNormal]);
    }
  }
}

// Whole games at the controls people play: every move uses all the time of its normal level
// (every tenth its panic level) plus a round trip as long as the overhead. The flag never falls,
// and at repeating controls the last ten moves of a control get at least a third of the
// control's average time a move. (Two seconds without increment pay 10 ms round trips for 80
// moves, a long game there; no plan keeps such round trips up for ever.)
TEST(TimeControl, GamesAtEveryControlKeepTheFlagUpAndTimeForTheLastMoves) {
  const struct {
    int movesPerControl, baseMs, incrementMs, moves;
  } controls[] = {{40, 2000, 0, 160},   {40, 10000, 0, 160},  {40, 300000, 0, 160},
                  {0, 2000, 0, 80},     {0, 2000, 1000, 160}, {0, 60000, 1000, 160},
                  {0, 10000, 100, 160}, {0, 5000, 50, 160},   {0, 48000, 10000, 160}};
  const int roundTripMs = int(DefaultMoveOverheadMs);
  for (const auto& control : controls) {
    SCOPED_TRACE(testing::Message() << control.movesPerControl << " moves, " << control.baseMs
                                    << " ms + " << control.incrementMs);
    TimeControl tc;
    tc.timeGapMs = 3000;
    int clock = control.baseMs;
    int64_t controlTotal = 0, lastTenTotal = 0;
    for (int move = 0; move < control.moves; move++) {
      const int toGo =
          control.movesPerControl ? control.movesPerControl - move % control.movesPerControl : 0;
      tc.allotTime(toGo, clock, control.incrementMs);
      const int used = int(tc.levelMs[move % 10 ? LevelNormal : LevelPanic]) + roundTripMs;
      clock -= used;
      ASSERT_GT(clock, 0) << "move " << move;
      controlTotal += used;
      if (toGo >= 1 && toGo <= 10) lastTenTotal += used;
      if (toGo == 1) {
        EXPECT_GE(lastTenTotal * 3, controlTotal * 10 / control.movesPerControl) << "move " << move;
        controlTotal = lastTenTotal = 0;
        clock += control.baseMs;
      }
      clock += control.incrementMs;
    }
  }
}

// A ponder hit recomputes the levels from the new clock with the same control.
TEST(TimeControl, PonderHitsKeepTheControl) {
  TimeControl tc, fresh;
  tc.allotTime(5, 10000, 100);
  tc.ponderHitAdjust(4000);
  fresh.allotTime(5, 4000, 100);
  for (int k = 0; k < 5; k++) EXPECT_EQ(tc.levelMs[k], fresh.levelMs[k]);
}

}  // namespace
