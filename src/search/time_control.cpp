#include "search/time_control.h"

#include <algorithm>

#include "base/platform.h"
#include "search/search_limits.h"

TimeControl timeControl;

void TimeControl::reset() {
  limitMs = 5000;
  startTick = tickCount();
  for (auto& l : levelMs) l = 5000;
  level = LevelNormal;
  infinite = 0;
  incrementMs = timeLeftMs = timeGapMs = movesToGo = movesOutOfBook = 0;
  // Levels as shares of the nominal time: the easy move, no new iteration after half of it (the
  // next would take about as long as all before), the normal limit, fail-high and panic.
  const float factors[5] = {0.04f, 0.5f, 1.0f, 2.5f, 4.0f};
  for (int k = 0; k < 5; k++) levelFactor[k] = factors[k];
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

// The nominal time T: what the clock leaves after the safety margin (half again as a budget)
// spread over the moves to go, plus the increment; more for the first moves out of book and
// when pondering. No level ever takes more than the clock less the margin.
void TimeControl::computeLevels() {
  const int64_t available = timeAvailable(timeLeftMs, timeGapMs, movesToGo);
  const int64_t budget = available * 3 / 2;
  const int64_t moves = movesToGo < 1 ? 41 : movesToGo + 1;
  int64_t t = budget / moves + (incrementMs > 0 ? incrementMs : 0);
  const int horizon = movesToGo < 1 ? 40 : movesToGo;
  if (horizon > 7 && movesOutOfBook >= 1 && movesOutOfBook <= 4)
    t += int64_t(double(t) * (5 - movesOutOfBook) * 0.25);
  if (canPonder) t = int64_t(double(t) * 1.3);
  for (int k = 0; k < 5; k++) {
    // In single precision, as the factors are: 0.04f * 2500 must give 100, not 99.
    int64_t ms = int64_t(levelFactor[k] * float(t));
    if (ms > available) ms = available;
    if (ms < 0) ms = 0;
    levelMs[k] = uint32_t(ms);
  }
}

void TimeControl::enterLevel(uint32_t newLevel) {
  level = newLevel;
  limitMs = infinite ? NoTimeLimit : levelMs[newLevel].load();
}

void TimeControl::ponderHit() {
  infinite = 0;
  // The search thread may change the level meanwhile: read until it is stable.
  uint32_t seen;
  do {
    seen = level;
    limitMs = levelMs[seen].load();
  } while (seen != level);
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

// The margin is the configured gap, but at most a small share of the clock (a fixed three
// seconds would take a third of a ten-second game), and at least a round trip through the
// interface for every move to go before the clock is filled again (with no moves to go, the
// increment pays for the later ones). A clock below that leaves nothing to think with: the
// move goes at once.
int64_t timeAvailable(int64_t timeLeftMs, int64_t gapMs, int movesToGo) {
  const int64_t left = timeLeftMs > 0 ? timeLeftMs : 0;
  const int64_t roundTrips = LatencyMarginMs * (movesToGo > 1 ? movesToGo : 1);
  const int64_t margin = std::max(std::min(gapMs, left / GapShareDivisor), roundTrips);
  return left > margin ? left - margin : 0;
}
