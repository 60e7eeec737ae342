#pragma once
// Search limits and the time levels derived from them. The protocols and the console fill the
// record before a search; during the search a small state machine picks the level in force:
// normal, extended after a fail-high at the root, or panic after a score drop.
#include <atomic>
#include <cstdint>

struct SearchLimits;

constexpr uint32_t NoTimeLimit = 0xFFFFFFFF;

// What a move's round trip through the interface may cost (pipes, scheduling, the interface's
// own clock): left on the clock for every move to go, whatever gap is configured.
constexpr int64_t LatencyMarginMs = 50;
// The configured gap takes at most this share of the remaining time (1/20).
constexpr int64_t GapShareDivisor = 20;

// The time the moves to go may use from a clock of timeLeftMs: the clock less the safety margin.
int64_t timeAvailable(int64_t timeLeftMs, int64_t gapMs, int movesToGo);

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
  int32_t movesToGo;
  int32_t movesOutOfBook;
  float levelFactor[5];
  uint8_t canPonder;
  uint32_t nodeLimit;
  // Also reset by a protocol command (a new depth limit restarts the clock) during a search.
  std::atomic<int32_t> lastScore;
  std::atomic<int32_t> prevScore;
  std::atomic<uint32_t> depth;

 private:
  void computeLevels();
  void enterLevel(uint32_t newLevel);
};

// The program-wide search limits.
extern TimeControl timeControl;
