#include "search/wdl_model.h"

#include <algorithm>
#include <cmath>

#include "search/node_rules.h"

// Fitted by tools/wdl_fit to the games of datagen --seed 11 and --seed 12 (about 2,070 each),
// played with the present evaluation: its scores are what the curves read (see
// docs/strength.md, "Win/draw/loss model").
const WdlCurves FittedWdlCurves = {
    {644.1203, -2623.3992, 3918.8995, -1892.5546},  // centre
    {257.5052, -969.1988, 1817.1344, -977.8638},    // width
};

namespace {

double polynomial(const std::array<double, WdlDegree + 1>& c, int material) {
  const double x = double(std::clamp(material, WdlMinMaterial, WdlMaxMaterial)) / WdlMaxMaterial;
  double value = 0;
  for (int i = WdlDegree; i >= 0; i--) value = value * x + c[i];
  return value;
}

double sigmoid(double x) { return 1.0 / (1.0 + std::exp(-x)); }

}  // namespace

int wdlMaterial(const Position& pos) {
  int total = 0;
  for (int side = White; side <= Black; side++)
    total += pawnCount(pos.material[side]) + pieceUnits(pos.material[side]);
  return total;
}

double wdlCentre(const WdlCurves& curves, int material) {
  return std::max(WdlMinCentre, polynomial(curves.centre, material));
}

double wdlWidth(const WdlCurves& curves, int material) {
  return std::max(WdlMinWidth, polynomial(curves.width, material));
}

WdlProbabilities wdlProbabilities(const WdlCurves& curves, int scoreCp, int material) {
  const double centre = wdlCentre(curves, material), width = wdlWidth(curves, material);
  WdlProbabilities p;
  p.win = sigmoid((scoreCp - centre) / width);
  p.loss = sigmoid((-scoreCp - centre) / width);
  p.draw = std::max(0.0, 1.0 - p.win - p.loss);
  return p;
}

WdlPerMille winDrawLoss(int scoreCp, int material) {
  if (scoreCp >= WinBound) return {1000, 0, 0};
  if (scoreCp <= -WinBound) return {0, 0, 1000};
  const WdlProbabilities p = wdlProbabilities(FittedWdlCurves, scoreCp, material);
  WdlPerMille r;
  r.win = int(std::lround(1000 * p.win));
  r.loss = int(std::lround(1000 * p.loss));
  // Both rounded up past 1000 (only when the draw is under a per mille): the likelier side
  // gives the point back, so that a score and its negation still mirror each other.
  if (r.win + r.loss > 1000) (r.win > r.loss ? r.win : r.loss)--;
  r.draw = 1000 - r.win - r.loss;
  return r;
}
