// Time levels from clocks: never beyond the clock less the margin, rising, more for more clock,
// and games that never run out of time. (Which level a search is in, fail-high or panic, is a
// matter of strength; the levels' bounds are what keeps the flag up.)
#include "search/time_control.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>

namespace {

// Every clock an interface may send, with every gap: no level takes more than the clock less
// the margin, the margin is never more than a small share of the clock (or a round trip per move
// to go) and never less than those round trips (or the whole clock), each level is at least the
// one below, and more clock or increment never gives less time.
TEST(TimeControl, LevelsRiseAndNeverExceedTheClockLessTheMargin) {
  std::mt19937 random(14);
  const int clocks[] = {-500, 0,    1,     30,    99,     100,     250,      1000,
                        2999, 3000, 10000, 60000, 300000, 7200000, INT32_MAX};
  for (int round = 0; round < 3000; round++) {
    TimeControl tc, more;
    const int left = clocks[random() % std::size(clocks)] - int(random() % 7);
    tc.timeGapMs = more.timeGapMs = int(random() % 4) * 1000;
    tc.canPonder = more.canPonder = random() % 2;
    tc.movesOutOfBook = more.movesOutOfBook = int(random() % 7);
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
    EXPECT_TRUE(clock < roundTrips + 1000 || tc.levelMs[LevelNormal] > 0);
    if (left < INT32_MAX - 1000) {
      more.allotTime(movesToGo, left + 1000, increment + 100);
      EXPECT_GE(more.levelMs[LevelNormal], tc.levelMs[LevelNormal]);
    }
  }
}

// Long games at the controls the engine is tested at, every move using all the time of its
// normal level (every tenth its panic level) plus a round trip well under the latency margin:
// the flag never falls.
TEST(TimeControl, GamesNeverRunOutOfTime) {
  const int roundTripMs = int(LatencyMarginMs) - 20;
  const struct {
    int movesPerControl, baseMs, incrementMs;
  } controls[] = {
      {0, 5000, 50}, {0, 10000, 100}, {0, 60000, 1000}, {40, 300000, 0}, {40, 20000, 0}};
  for (const auto& control : controls) {
    TimeControl tc;
    tc.timeGapMs = 3000;
    int clock = control.baseMs;
    for (int move = 0; move < 200; move++) {
      const int toGo =
          control.movesPerControl ? control.movesPerControl - move % control.movesPerControl : 0;
      tc.allotTime(toGo, clock, control.incrementMs);
      clock -= int(tc.levelMs[move % 10 ? LevelNormal : LevelPanic]) + roundTripMs;
      ASSERT_GT(clock, 0) << "base " << control.baseMs << ", move " << move;
      clock += control.incrementMs + (toGo == 1 ? control.baseMs : 0);
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
