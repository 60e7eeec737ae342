#pragma once
// Playing below full strength, the way a weaker player does: thinking less far ahead and less
// long, and among the moves that look nearly as good as the best, not always picking the best.
// A weaker level sees less and prefers more loosely, but never plays a move it has seen to lose
// more than a level-dependent amount: pieces are not thrown away, and strong levels do not
// blunder at all.
//
// A level is set by an Elo from MinStrengthElo to FullStrengthElo (full strength: no limit).
// The search is run with the level's depth and node caps and finds the level's number of root
// lines (MultiPV); the move is then chosen among those lines by chooseLine. The scale is
// calibrated in games against an engine with a rated strength scale (tools/calibrate_strength.sh,
// docs/strength.md).
#include <cstdint>
#include <random>
#include <span>

constexpr int MinStrengthElo = 1000;
constexpr int FullStrengthElo = 2150;

struct StrengthLevel {
  int elo = FullStrengthElo;
  int depth = 0;       // the deepest iteration; 0: no cap
  uint64_t nodes = 0;  // the nodes of one search; 0: no cap
  int lines = 1;       // root lines to find (each with an exact score) to choose among
  int noise = 0;       // centipawns: how loosely the choice follows the scores; 0: the best
  int maxLoss = 0;     // centipawns: no line this far below the best is ever chosen
  bool full() const { return noise == 0 && depth == 0 && nodes == 0; }
};

// The level of an Elo (clamped to the scale); FullStrengthElo and above: no limit at all.
StrengthLevel strengthLevel(int elo);

// Chooses one of the lines of a finished search by their scores (centipawns from the side to
// move's view, exact, in any order); returns its index, or -1 when there is none. Every line
// within maxLoss of the best may be chosen, each with a weight exp(score / noise) relative to
// the others (a softmax with the noise as temperature); at full strength, with a single line,
// or when the best is a won score (a mate, a table win) the best is chosen. The same rng state
// gives the same choice on every platform.
int chooseLine(std::span<const int> scores, const StrengthLevel& level, std::mt19937_64& rng);
