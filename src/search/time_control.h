#pragma once
// Search limits and the time levels derived from them. The protocols and the console fill the
// record before a search; during the search a small state machine picks the level in force:
// normal, extended after a fail-high at the root, or panic after a score drop.
#include <atomic>
#include <cstdint>
#include <mutex>

struct SearchLimits;

constexpr uint32_t NoTimeLimit = 0xFFFFFFFF;

// What a move's round trip through the interface may cost (pipes, scheduling, the interface's
// own clock), unless the interface says otherwise: kept back from every move still to be played
// on the clock, and from the hard limit of this one.
constexpr int64_t DefaultMoveOverheadMs = 10;
// The configured gap takes at most this share of the remaining time (1/20).
constexpr int64_t GapShareDivisor = 20;
// Without moves to go (sudden death, increments) the clock is planned as if this many moves
// were left.
constexpr int SuddenDeathHorizon = 40;

// The clock as a plan for the moves to go: what the clock keeps in reserve (the configured gap,
// at most a small share of it), the time this move and those to come may use (the reserve, the
// overhead of each move and nothing of this move's increment, which arrives only after it), and
// the hard limit no level of this move passes (a modest share of the clock, never most of it).
struct ClockPlan {
  int64_t reserveMs;
  int64_t poolMs;
  int64_t hardLimitMs;
};
ClockPlan planClock(int64_t timeLeftMs, int64_t incrementMs, int movesToGo, int64_t gapMs,
                    int64_t overheadMs);

// Indices into levelMs.
constexpr int LevelEasy = 0;
constexpr int LevelIteration = 1;
constexpr int LevelNormal = 2;
constexpr int LevelFailHigh = 3;
constexpr int LevelPanic = 4;

class TimeControl {
 public:
  TimeControl() { reset(); }
  TimeControl(const TimeControl&) = delete;
  TimeControl& operator=(const TimeControl&) = delete;
  // Back to the start-up state: 5 s at every level, no clock, no limits.
  void reset();

  // Takes a search request: its fixed time or clock (the levels), infinite, nodes, pondering
  // allowed and moves out of book; then starts the clock.
  void apply(const SearchLimits& limits);
  void startClock();
  void setFixedTime(uint32_t ms);
  void allotTime(int movesToGo, int timeLeftMs, int incrementMs);
  // Milliseconds kept back for every move's round trip through the interface.
  void setMoveOverhead(int ms) { moveOverheadMs = ms < 0 ? 0 : ms; }
  void ponderHitAdjust(int timeLeftMs);
  void ponderHit();
  void setDepth(uint32_t d) { depth = d; }
  void iterationDone(int score);
  void firstMoveScore(int score);
  void rootFailHigh();
  void rootFailHighResolved();
  bool iterationTimeout() const;
  uint32_t elapsed() const;
  // Whether the hard limit of the level in force has passed.
  bool timeIsUp() const { return elapsed() > limitMs; }

  // The fields below up to `infinite` are read by the searching thread while the protocol
  // thread may change them (a ponder hit, a stop), hence atomics.
  std::atomic<uint32_t> limitMs;
  std::atomic<uint32_t> startTick;
  std::atomic<uint32_t> levelMs[5];
  std::atomic<uint32_t> level;
  std::atomic<uint8_t> infinite;
  int32_t incrementMs;
  int32_t timeLeftMs;
  int32_t timeGapMs;
  int32_t moveOverheadMs;
  int32_t movesToGo;
  int32_t movesOutOfBook;
  uint8_t canPonder;
  uint64_t nodeLimit;
  // Also reset by a protocol command (a new depth limit restarts the clock) during a search.
  std::atomic<int32_t> lastScore;
  std::atomic<int32_t> prevScore;
  std::atomic<uint32_t> depth;

 private:
  void computeLevels();
  void enterLevel(uint32_t newLevel);

  // The level and its limit change together: the search thread moves between levels while a
  // ponder hit may end the infinite search, and neither may leave the limit of the other's view.
  std::mutex levelLock_;
};

// The time levels `limits` would give, without touching a search's time control (for the
// console's time test).
void timeLevels(const SearchLimits& limits, uint32_t levels[5]);
