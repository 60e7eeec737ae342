#pragma once
// Fitting the win/draw/loss model (src/search/wdl_model.h) to the results of self-play games.
//
// Every quiet position of a finished game is a sample: the search's score and the material on
// the board, and how the game ended for the side to move. The curves are fitted by maximum
// likelihood: they minimise the mean of -ln(chance the model gave the real result), the log-loss,
// by BFGS with a backtracking line search on its exact gradient. Positions with a won or lost
// score (the model is certain there) are left out.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "search/wdl_model.h"

constexpr int OutcomeLoss = 0;
constexpr int OutcomeDraw = 1;
constexpr int OutcomeWin = 2;

struct WdlSample {
  int score = 0;              // centipawns, side to move's view
  int material = 0;           // wdlMaterial of the position
  int outcome = OutcomeDraw;  // the game's result for the side to move
};

struct WdlData {
  std::vector<WdlSample> train, heldOut;
  size_t decided = 0;     // positions left out for a won or lost score
  size_t unreadable = 0;  // records that hold no legal position
};

// Adds the positions of a datagen file, held-out games (isHeldOut) apart; false with a message
// when the file cannot be read.
bool addWdlSamples(const char* path, WdlData& data, std::string& error);

// The mean log-loss of the curves over the samples.
double wdlLogLoss(const WdlCurves& curves, const std::vector<WdlSample>& samples);

// The log-loss's gradient in the curves' coefficients, centre then width, lowest power first.
constexpr int WdlParameters = 2 * (WdlDegree + 1);
using WdlGradient = std::array<double, WdlParameters>;
WdlGradient wdlLogLossGradient(const WdlCurves& curves, const std::vector<WdlSample>& samples);

struct WdlFitSettings {
  int degree = WdlDegree;  // the highest power of material used (lower ones leave zeros)
  int maxIterations = 500;
};

// The curves of least log-loss over the samples, starting from material-free curves.
WdlCurves fitWdlCurves(const std::vector<WdlSample>& samples, const WdlFitSettings& settings);

// The chances the curves give, and how often each result came, over the samples whose predicted
// chance of one result lies in one tenth of [0, 1].
struct CalibrationBin {
  size_t count = 0;
  double predicted = 0;  // mean predicted chance
  double observed = 0;   // share of the samples with that result
};
using CalibrationTable = std::array<CalibrationBin, 10>;
CalibrationTable wdlCalibration(const WdlCurves& curves, const std::vector<WdlSample>& samples,
                                int outcome);

// The log-loss of always predicting the results' shares in `reference` (the model's baseline).
double constantLogLoss(const std::vector<WdlSample>& reference,
                       const std::vector<WdlSample>& samples);
