#include "search/time_control.h"

#include <algorithm>

#include "base/platform.h"
#include "search/search_limits.h"

namespace {

// Levels as shares of the nominal time: the easy move, no new iteration after half of it (the
// next would take about as long as all before), the normal limit, fail-high and panic.
constexpr double LevelShares[5] = {0.04, 0.5, 1.0, 2.5, 4.0};

}  // namespace

void TimeControl::reset() {
  limitMs = 5000;
  startTick = tickCount();
  for (auto& l : levelMs) l = 5000;
  level = LevelNormal;
  infinite = 0;
  incrementMs = timeLeftMs = timeGapMs = movesToGo = movesOutOfBook = 0;
  moveOverheadMs = int32_t(DefaultMoveOverheadMs);
  canPonder = 0;
  nodeLimit = 0;
  lastScore = 0;
  prevScore = 0;
  depth = 0;
}

void TimeControl::apply(const SearchLimits& limits) {
  infinite = limits.infinite || limits.ponder ? 1 : 0;
  nodeLimit = limits.nodes;
  canPonder = limits.canPonder ? 1 : 0;
  movesOutOfBook = limits.movesOutOfBook;
  if (limits.moveTimeMs >= 0) {
    setFixedTime(uint32_t(limits.moveTimeMs));
  } else if (limits.timeLeftMs >= 0) {
    timeGapMs = limits.timeGapMs;
    setMoveOverhead(limits.moveOverheadMs);
    allotTime(limits.movesToGo, limits.timeLeftMs, limits.incrementMs);
  } else {
    setFixedTime(NoTimeLimit);  // depth, nodes or a stop end the search
  }
  startClock();
}

void TimeControl::startClock() {
  level = LevelNormal;
  limitMs = infinite ? NoTimeLimit : levelMs[LevelNormal].load();
  startTick = tickCount();
  depth = 0;
  lastScore = 0;
  prevScore = 0;
}

void TimeControl::setFixedTime(uint32_t ms) {
  timeGapMs = 0;
  for (auto& l : levelMs) l = ms;
}

void TimeControl::allotTime(int moves, int timeLeft, int increment) {
  movesToGo = moves;
  timeLeftMs = timeLeft;
  incrementMs = increment;
  computeLevels();
}

void TimeControl::ponderHitAdjust(int timeLeft) {
  timeLeftMs = timeLeft;
  computeLevels();
}

// The nominal time T: the time the plan leaves for this move and those to come, as a budget
// spread over the moves to go and one more; more for the first moves out of book and when
// pondering. The budget is the pool and some more, since most moves end before their level:
// half again in sudden death, a fifth where the moves to go are known and the last of them must
// not starve. No level passes the plan's hard limit, and the normal level keeps below half of
// it, so that a fail-high or a score drop can still extend the move.
void TimeControl::computeLevels() {
  const ClockPlan plan = planClock(timeLeftMs, incrementMs, movesToGo, timeGapMs, moveOverheadMs);
  const int horizon = movesToGo < 1 ? SuddenDeathHorizon : movesToGo;
  const int64_t budget = movesToGo < 1 ? plan.poolMs * 3 / 2 : plan.poolMs * 6 / 5;
  int64_t t = budget / (horizon + 1);
  if (horizon > 7 && movesOutOfBook >= 1 && movesOutOfBook <= 4)
    t += int64_t(double(t) * (5 - movesOutOfBook) * 0.25);
  if (canPonder) t = int64_t(double(t) * 1.3);
  t = std::min(t, plan.hardLimitMs / 2);
  for (int k = 0; k < 5; k++) {
    const int64_t ms = int64_t(LevelShares[k] * double(t));
    levelMs[k] = uint32_t(std::min(std::max<int64_t>(ms, 0), plan.hardLimitMs));
  }
}

void TimeControl::enterLevel(uint32_t newLevel) {
  std::lock_guard<std::mutex> guard(levelLock_);
  level = newLevel;
  limitMs = infinite ? NoTimeLimit : levelMs[newLevel].load();
}

void TimeControl::ponderHit() {
  std::lock_guard<std::mutex> guard(levelLock_);
  infinite = 0;
  limitMs = levelMs[level].load();
}

void TimeControl::iterationDone(int score) {
  if (level != LevelNormal) enterLevel(LevelNormal);
  prevScore = lastScore.load();
  lastScore = score;
}

void TimeControl::firstMoveScore(int score) {
  if (level != LevelPanic && depth > 2 && score + 10 < lastScore && score <= 99 && score >= -99)
    enterLevel(LevelPanic);
}

void TimeControl::rootFailHigh() {
  if (depth != 0 && level < LevelFailHigh) enterLevel(LevelFailHigh);
}

void TimeControl::rootFailHighResolved() {
  if (depth != 0 && level == LevelFailHigh) enterLevel(LevelNormal);
}

bool TimeControl::iterationTimeout() const {
  if (infinite || level >= LevelFailHigh) return false;
  return elapsed() > levelMs[LevelIteration];
}

uint32_t TimeControl::elapsed() const { return tickCount() - startTick; }

void timeLevels(const SearchLimits& limits, uint32_t levels[5]) {
  TimeControl preview;
  preview.apply(limits);
  for (int k = 0; k < 5; k++) levels[k] = preview.levelMs[k];
}

ClockPlan planClock(int64_t timeLeftMs, int64_t incrementMs, int movesToGo, int64_t gapMs,
                    int64_t overheadMs) {
  const int64_t clock = std::max<int64_t>(timeLeftMs, 0);
  const int64_t increment = std::max<int64_t>(incrementMs, 0);
  const int64_t overhead = std::max<int64_t>(overheadMs, 0);
  ClockPlan plan;
  plan.reserveMs = std::clamp<int64_t>(gapMs, 0, clock / GapShareDivisor);
  const int64_t usable = clock - plan.reserveMs;
  const int horizon = movesToGo < 1 ? SuddenDeathHorizon : movesToGo;
  plan.poolMs = std::max<int64_t>(usable + increment * (horizon - 1) - overhead * horizon, 0);
  // A quarter of the clock at most, up to half of it for the last move before the clock is
  // filled again (a third for the last but one).
  const int64_t shareDivisor = movesToGo >= 1 && movesToGo <= 2 ? movesToGo + 1 : 4;
  plan.hardLimitMs = std::max<int64_t>(usable / shareDivisor - overhead, 0);
  return plan;
}
