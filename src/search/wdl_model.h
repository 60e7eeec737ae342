#pragma once
// Win, draw and loss chances from a score and the material on the board, as an interface shows
// them beside the score (UCI's "wdl W D L", per mille).
//
// A score means more the less material is left: +150 with queens on is a good game, +150 with a
// rook each is often a win, and with few pawns left much is drawn all the same. The model is two
// logistic curves in the score, one for the win and one (mirrored) for the loss,
//
//   win  = sigmoid((score - centre(m)) / width(m))
//   loss = sigmoid((-score - centre(m)) / width(m))
//   draw = 1 - win - loss
//
// whose centre (the score at which a win becomes as likely as not) and width (how fast the
// chance rises around it) are small polynomials in the material m. The curves are fitted to the
// results of melvok's own games by tools/wdl_fit (see docs/strength.md, "Win/draw/loss model").
// A score and its negation give mirrored chances, so the model never favours a colour.
#include <array>

#include "board/position.h"

// Chances in per mille for the side to move; the three always add up to 1000.
struct WdlPerMille {
  int win = 0;
  int draw = 0;
  int loss = 0;
};

struct WdlProbabilities {
  double win = 0;
  double draw = 0;
  double loss = 0;
};

// The material measure the curves are drawn over: both sides' pawns and pieces counted as 1, 3,
// 3, 5 and 10 (80 at the start), clamped to the range the games cover.
constexpr int WdlMinMaterial = 10;
constexpr int WdlMaxMaterial = 80;

// The coefficients of centre and width (centipawns) as polynomials in x = m / WdlMaxMaterial,
// lowest power first.
constexpr int WdlDegree = 3;
struct WdlCurves {
  std::array<double, WdlDegree + 1> centre{};
  std::array<double, WdlDegree + 1> width{};
};

// The curves fitted to melvok's games.
extern const WdlCurves FittedWdlCurves;

// Both sides' material in the measure above (unclamped), from the position's material counters.
int wdlMaterial(const Position& pos);

// The centre and width of `curves` at material m (clamped to the fitted range). The centre is
// kept at a centipawn at least and the width at ten, so that a draw is never impossible and the
// curves never turn into steps.
constexpr double WdlMinCentre = 1.0;
constexpr double WdlMinWidth = 10.0;
double wdlCentre(const WdlCurves& curves, int material);
double wdlWidth(const WdlCurves& curves, int material);

// The model's chances for a score (centipawns, side to move's view) at material m.
WdlProbabilities wdlProbabilities(const WdlCurves& curves, int scoreCp, int material);

// The same in per mille from the fitted curves, as an interface shows them. Won and lost scores
// (mates, endgame-table and bitbase results) are certain: 1000/0/0 and 0/0/1000.
WdlPerMille winDrawLoss(int scoreCp, int material);
