#pragma once
// Fitting the evaluation's weights to training data (datagen's records), every weight at once.
//
// A position's target is a blend of what its game and its search said: lambda times the search
// score's winning chance plus (1 - lambda) times the game's result, both for White. The
// evaluation predicts it through a logistic curve of its score, sigmoid(K * score); K is fitted
// to the results first (or given). The fit minimises the mean squared difference by Adam on
// batches of positions.
//
// The evaluation's tuning build gives every position's score with the coefficient of every
// weight (its derivative there). Most of the evaluation is linear in its weights; where it is not
// (the king danger's thresholds and maxima, scale factors multiplying other terms) the
// coefficients are those of its linearisation around the present weights. Every batch traces
// its positions again at the weights reached so far, so the linearisation follows the fit.
// Between whole numbers the score is taken as linear in a weight's fractional part.
//
// Entries mirrored across the board's middle in a square table that is symmetric are fitted as
// one, so that it stays symmetric (the piece tables are read file-mirrored at times).
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "training_data.h"

struct TuneSettings {
  double lambda = 0.5;
  int epochs = 10;
  int batch = 16384;  // positions per Adam step
  double rate = 1.0;  // the first epochs' step in weight units, shrinking to a tenth
  int threads = 1;
  double scale = 0;               // the logistic scale K; 0: fitted to the results
  int minPositions = 100;         // a weight seen in fewer training positions stays as it is
  std::vector<std::string> only;  // the weight tables to fit; empty: all
  uint64_t seed = 1;              // the order of the positions
  FILE* progress = nullptr;       // a line per epoch
};

// The positions to fit and those held out (isHeldOut in training_data.h).
struct TrainingSet {
  std::vector<PackedRecord> train, heldOut;
};

// Mean squared errors against the blended targets and against the results alone.
struct TuneErrors {
  double train = 0, heldOut = 0, trainResult = 0, heldOutResult = 0;
};

struct TuneReport {
  double scale = 0;
  TuneErrors before, after;
  size_t parameters = 0;  // fitted values (mirrored pairs count once)
  size_t fitted = 0;      // ... of which seen in enough training positions to move
  size_t unreadable = 0;  // records that hold no legal position, left out
};

// Fits the weights of the tuning build of the evaluation (and leaves them at the fitted values,
// rounded); the errors are measured with the real evaluation before and after.
TuneReport tuneWeights(const TrainingSet& data, const TuneSettings& settings);
