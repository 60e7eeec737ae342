#pragma once
// Search limits and the time levels derived from them. The protocols and the console fill the
// record before a search; during the search a small state machine picks the level in force:
// normal, extended after a fail-high at the root, or panic after a score drop.
#include <cstdint>

constexpr uint32_t NoTimeLimit = 0xFFFFFFFF;

// Indices into levelMs.
constexpr int LevelEasy = 0;
constexpr int LevelIteration = 1;
constexpr int LevelNormal = 2;
constexpr int LevelFailHigh = 3;
constexpr int LevelPanic = 4;

class TimeControl {
 public:
  TimeControl();

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

  volatile uint32_t limitMs = 5000;
  uint32_t startTick;
  int32_t incrementMs = 0;
  int32_t timeLeftMs = 0;
  int32_t timeGapMs = 0;
  int32_t movesToGo = 0;
  int32_t movesOutOfBook = 0;
  uint32_t levelMs[5] = {5000, 5000, 5000, 5000, 5000};
  float levelFactor[5] = {0.04f, 0.4f, 1.0f, 2.5f, 4.0f};
  volatile uint32_t level = LevelNormal;
  uint8_t infinite = 0;
  uint8_t canPonder = 0;
  uint32_t nodeLimit = 0;
  int32_t lastScore = 0;
  int32_t prevScore = 0;
  uint32_t depth = 0;

 private:
  void computeLevels();
  void enterLevel(uint32_t newLevel);
};

// The program-wide search limits.
extern TimeControl timeControl;
