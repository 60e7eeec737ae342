#include "search/strength_limit.h"

#include <algorithm>
#include <cmath>

#include "search/node_rules.h"

namespace {

// The levels between these anchors are interpolated: the node cap geometrically (each step of
// Elo multiplies it by the same factor, as doubling the thinking adds about the same strength),
// everything else linearly. A 1000 player looks three plies ahead, prefers loosely among six
// moves but never gives away a pawn and a half; at 1940 the search sees twelve plies and the
// choice only varies between moves a tenth of a pawn apart. The Elo of each anchor is measured
// in games against a rated scale (docs/strength.md, "Strength levels").
struct Anchor {
  int elo;
  double nodes;
  int depth, lines, noise, maxLoss;
};
constexpr Anchor Anchors[] = {
    {MinStrengthElo, 400, 3, 6, 80, 150},  //
    {1500, 2000, 5, 5, 50, 100},           //
    {1600, 5000, 7, 5, 38, 80},            //
    {1730, 10000, 8, 4, 25, 60},           //
    {1940, 60000, 12, 3, 10, 30},          //
    {FullStrengthElo - 1, 400000, 20, 2, 3, 12},
};

int lerp(int a, int b, double f) { return int(std::lround(a + (b - a) * f)); }

// A uniform number in (0, 1) from the generator's 53 high bits: the same on every platform,
// unlike the standard distributions, whose algorithms the standard leaves open.
double uniform(std::mt19937_64& rng) { return (double(rng() >> 11) + 0.5) * 0x1.0p-53; }

}  // namespace

StrengthLevel strengthLevel(int elo) {
  StrengthLevel level;
  if (elo >= FullStrengthElo) return level;
  elo = std::max(elo, MinStrengthElo);
  int i = 0;
  while (Anchors[i + 1].elo < elo) i++;
  const Anchor &a = Anchors[i], &b = Anchors[i + 1];
  const double f = double(elo - a.elo) / double(b.elo - a.elo);
  level.elo = elo;
  level.nodes = uint64_t(std::llround(a.nodes * std::pow(b.nodes / a.nodes, f)));
  level.depth = lerp(a.depth, b.depth, f);
  level.lines = lerp(a.lines, b.lines, f);
  level.noise = lerp(a.noise, b.noise, f);
  level.maxLoss = lerp(a.maxLoss, b.maxLoss, f);
  return level;
}

int chooseLine(std::span<const int> scores, const StrengthLevel& level, std::mt19937_64& rng) {
  if (scores.empty()) return -1;
  const int best = int(std::max_element(scores.begin(), scores.end()) - scores.begin());
  // A player who sees a forced win plays it.
  if (level.noise <= 0 || scores.size() == 1 || scores[best] >= WinBound) return best;
  // Sampling from the softmax of score / noise by its Gumbel form: every candidate's score plus
  // noise times a Gumbel variate, the largest wins. One draw per line, candidate or not, so
  // that the stream moves the same way whatever the scores.
  int chosen = best;
  double top = -HUGE_VAL;
  for (size_t i = 0; i < scores.size(); i++) {
    const double gumbel = -std::log(-std::log(uniform(rng)));
    if (scores[i] < scores[best] - level.maxLoss) continue;
    const double value = scores[i] + level.noise * gumbel;
    if (value > top) {
      top = value;
      chosen = int(i);
    }
  }
  return chosen;
}
