// The win/draw/loss fit: its gradient is the log-loss's, it finds curves planted in synthetic
// games, and it reads datagen's files with the result turned to the side to move.
#include "wdl_fitter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>

#include "support/positions.h"
#include "support/temp_dir.h"
#include "training_data.h"

namespace {

// Games drawn from known curves: scores and material spread evenly, each result drawn with the
// curves' chances.
std::vector<WdlSample> plantedSamples(const WdlCurves& truth, int count, uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::uniform_int_distribution<int> score(-700, 700), material(WdlMinMaterial, WdlMaxMaterial);
  std::uniform_real_distribution<double> draw(0, 1);
  std::vector<WdlSample> samples;
  for (int i = 0; i < count; i++) {
    WdlSample s;
    s.score = score(rng);
    s.material = material(rng);
    const WdlProbabilities p = wdlProbabilities(truth, s.score, s.material);
    const double u = draw(rng);
    s.outcome = u < p.win ? OutcomeWin : u < p.win + p.loss ? OutcomeLoss : OutcomeDraw;
    samples.push_back(s);
  }
  return samples;
}

// Draws widen and move out as material comes off, the way real games behave.
WdlCurves plantedCurves() {
  WdlCurves c;
  c.centre = {260, -240, 90, 0};
  c.width = {150, -120, 40, 0};
  return c;
}

TEST(WdlFit, GradientIsTheLogLossSlope) {
  const std::vector<WdlSample> samples = plantedSamples(plantedCurves(), 2000, 3);
  WdlCurves at = plantedCurves();
  at.centre[3] = 15;  // away from the planted optimum, every coefficient in play
  at.width[1] = -100;
  const WdlGradient g = wdlLogLossGradient(at, samples);
  for (int i = 0; i < WdlParameters; i++) {
    WdlCurves up = at, down = at;
    const int k = i % (WdlDegree + 1);
    auto coefficient = [&](WdlCurves& c) -> double& {
      return i <= WdlDegree ? c.centre[k] : c.width[k];
    };
    const double h = 1e-3;
    coefficient(up) += h;
    coefficient(down) -= h;
    const double numeric = (wdlLogLoss(up, samples) - wdlLogLoss(down, samples)) / (2 * h);
    EXPECT_NEAR(g[i], numeric, 1e-7 + 1e-5 * std::abs(numeric)) << "coefficient " << i;
  }
}

TEST(WdlFit, FindsPlantedCurves) {
  const WdlCurves truth = plantedCurves();
  const std::vector<WdlSample> samples = plantedSamples(truth, 120000, 7);
  WdlFitSettings settings;
  settings.degree = 2;
  const WdlCurves fitted = fitWdlCurves(samples, settings);
  // The maximum of the likelihood is at least as likely as the curves that made the games.
  EXPECT_LE(wdlLogLoss(fitted, samples), wdlLogLoss(truth, samples));
  EXPECT_EQ(fitted.centre[3], 0);  // powers above the degree stay out
  EXPECT_EQ(fitted.width[3], 0);
  // With 120,000 games the curves are back within a few per cent over the material's range.
  for (int m : {16, 40, 64, 80}) {
    EXPECT_NEAR(wdlCentre(fitted, m), wdlCentre(truth, m), 0.04 * wdlCentre(truth, m)) << m;
    EXPECT_NEAR(wdlWidth(fitted, m), wdlWidth(truth, m), 0.04 * wdlWidth(truth, m)) << m;
  }
  // A fit that may not use the material does worse on these games.
  settings.degree = 0;
  EXPECT_GT(wdlLogLoss(fitWdlCurves(samples, settings), samples), wdlLogLoss(fitted, samples));
}

TEST(WdlFit, CalibrationOfTheTrueCurvesMatchesTheirGames) {
  const WdlCurves truth = plantedCurves();
  const std::vector<WdlSample> samples = plantedSamples(truth, 60000, 11);
  size_t total = 0;
  for (const CalibrationBin& bin : wdlCalibration(truth, samples, OutcomeWin)) {
    total += bin.count;
    if (bin.count > 2000) {
      EXPECT_NEAR(bin.observed, bin.predicted, 0.03);
    }
  }
  EXPECT_EQ(total, samples.size());
  // The shares alone: draws are as often predicted as they came.
  const double draws = double(std::count_if(samples.begin(), samples.end(),
                                            [](auto& s) { return s.outcome == OutcomeDraw; })) /
                       double(samples.size());
  std::vector<WdlSample> oneDraw(1);
  EXPECT_NEAR(constantLogLoss(samples, oneDraw), -std::log(draws), 1e-12);
}

void writeFile(const std::string& path, const std::vector<PackedRecord>& records) {
  std::ofstream out(path, std::ios::binary);
  const PackedRecord header = packHeader(DataHeader{});
  out.write(reinterpret_cast<const char*>(header.data()), RecordBytes);
  for (const PackedRecord& r : records)
    out.write(reinterpret_cast<const char*>(r.data()), RecordBytes);
}

TEST(WdlFit, ReadsSamplesForTheSideToMove) {
  // White to move with a queen against a rook; Black to move in the same material; a decided
  // score; a held-out game (index 9).
  auto white = positionFrom("4k3/8/8/3r4/8/8/PPP5/3QK3 w - - 0 1");
  auto black = positionFrom("4k3/8/8/3r4/8/8/PPP5/3QK3 b - - 0 1");
  const std::vector<PackedRecord> records = {
      packRecord(*white, 420, 30, ResultWhiteWon, 0),
      packRecord(*black, -380, 31, ResultWhiteWon, 0),
      packRecord(*black, -5000, 33, ResultWhiteWon, 0),
      packRecord(*white, 15, 60, ResultDrawn, 1),
      packRecord(*black, 90, 41, ResultBlackWon, 9),
  };
  TempDir dir;
  const std::string path = dir.file("games.bin");
  writeFile(path, records);
  WdlData data;
  std::string error;
  ASSERT_TRUE(addWdlSamples(path.c_str(), data, error)) << error;
  EXPECT_EQ(data.decided, 1u);
  EXPECT_EQ(data.unreadable, 0u);
  ASSERT_EQ(data.train.size(), 3u);
  ASSERT_EQ(data.heldOut.size(), 1u);
  // 3 pawns + queen + rook = 3 + 10 + 5
  for (const WdlSample& s : data.train) EXPECT_EQ(s.material, 18);
  EXPECT_EQ(data.train[0].score, 420);
  EXPECT_EQ(data.train[0].outcome, OutcomeWin);
  EXPECT_EQ(data.train[1].score, -380);
  EXPECT_EQ(data.train[1].outcome, OutcomeLoss);
  EXPECT_EQ(data.train[2].outcome, OutcomeDraw);
  EXPECT_EQ(data.heldOut[0].outcome, OutcomeWin);

  WdlData none;
  EXPECT_FALSE(addWdlSamples(dir.file("missing.bin").c_str(), none, error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
