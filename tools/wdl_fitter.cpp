#include "wdl_fitter.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "board/tables.h"
#include "search/node_rules.h"
#include "training_data.h"

namespace {

// A chance the model gives a result that happened is never taken below this in the log-loss, so
// that one surprising game cannot dominate the fit.
constexpr double MinChance = 1e-12;

struct Point {
  double win, draw, loss;
  // d(chance)/d(centre) and d(chance)/d(width) of each result, zero where a curve is clamped
  double dWinC, dWinW, dLossC, dLossW;
  double x;  // the material as the polynomials read it
};

Point evaluate(const WdlCurves& curves, const WdlSample& s) {
  Point p;
  p.x = double(std::clamp(s.material, WdlMinMaterial, WdlMaxMaterial)) / WdlMaxMaterial;
  const WdlProbabilities chances = wdlProbabilities(curves, s.score, s.material);
  p.win = chances.win;
  p.loss = chances.loss;
  p.draw = chances.draw;
  const double centre = wdlCentre(curves, s.material), width = wdlWidth(curves, s.material);
  // Held at its minimum a curve does not move with its coefficients.
  const bool centreFree = centre > WdlMinCentre, widthFree = width > WdlMinWidth;
  const double u = (s.score - centre) / width, v = (-s.score - centre) / width;
  const double slopeWin = p.win * (1 - p.win) / width, slopeLoss = p.loss * (1 - p.loss) / width;
  p.dWinC = centreFree ? -slopeWin : 0;
  p.dLossC = centreFree ? -slopeLoss : 0;
  p.dWinW = widthFree ? -slopeWin * u : 0;
  p.dLossW = widthFree ? -slopeLoss * v : 0;
  return p;
}

double chanceOf(const Point& p, int outcome) {
  return outcome == OutcomeWin ? p.win : outcome == OutcomeLoss ? p.loss : p.draw;
}

WdlCurves fromVector(const WdlGradient& v) {
  WdlCurves c;
  for (int k = 0; k <= WdlDegree; k++) {
    c.centre[k] = v[k];
    c.width[k] = v[WdlDegree + 1 + k];
  }
  return c;
}

WdlGradient toVector(const WdlCurves& c) {
  WdlGradient v{};
  for (int k = 0; k <= WdlDegree; k++) {
    v[k] = c.centre[k];
    v[WdlDegree + 1 + k] = c.width[k];
  }
  return v;
}

double dot(const WdlGradient& a, const WdlGradient& b) {
  double sum = 0;
  for (int i = 0; i < WdlParameters; i++) sum += a[i] * b[i];
  return sum;
}

}  // namespace

bool addWdlSamples(const char* path, WdlData& data, std::string& error) {
  initTables();
  DataHeader header;
  std::vector<PackedRecord> records;
  if (!readDataFile(path, header, records, error)) return false;
  auto pos = std::make_unique<Position>();
  for (const PackedRecord& bytes : records) {
    const TrainingRecord r = readRecord(bytes);
    if (r.score >= WinBound || r.score <= -WinBound) {
      data.decided++;
      continue;
    }
    if (!unpackPosition(bytes, *pos)) {
      data.unreadable++;
      continue;
    }
    WdlSample s;
    s.score = r.score;
    s.material = wdlMaterial(*pos);
    // The record keeps the result for White; the sample wants it for the side to move.
    s.outcome = r.sideToMove == White ? r.result : ResultWhiteWon - r.result;
    (isHeldOut(bytes) ? data.heldOut : data.train).push_back(s);
  }
  return true;
}

double wdlLogLoss(const WdlCurves& curves, const std::vector<WdlSample>& samples) {
  if (samples.empty()) return 0;
  double sum = 0;
  for (const WdlSample& s : samples) {
    const WdlProbabilities p = wdlProbabilities(curves, s.score, s.material);
    const double chance = s.outcome == OutcomeWin    ? p.win
                          : s.outcome == OutcomeLoss ? p.loss
                                                     : p.draw;
    sum -= std::log(std::max(MinChance, chance));
  }
  return sum / double(samples.size());
}

WdlGradient wdlLogLossGradient(const WdlCurves& curves, const std::vector<WdlSample>& samples) {
  WdlGradient g{};
  if (samples.empty()) return g;
  for (const WdlSample& s : samples) {
    const Point p = evaluate(curves, s);
    double dC, dW;  // d(chance of the result)/d(centre), d(...)/d(width)
    if (s.outcome == OutcomeWin) {
      dC = p.dWinC;
      dW = p.dWinW;
    } else if (s.outcome == OutcomeLoss) {
      dC = p.dLossC;
      dW = p.dLossW;
    } else {
      dC = -p.dWinC - p.dLossC;
      dW = -p.dWinW - p.dLossW;
    }
    const double chance = chanceOf(p, s.outcome);
    if (chance < MinChance) continue;  // the loss is flat there
    double xk = 1;
    for (int k = 0; k <= WdlDegree; k++) {
      g[k] -= dC * xk / chance;
      g[WdlDegree + 1 + k] -= dW * xk / chance;
      xk *= p.x;
    }
  }
  for (double& v : g) v /= double(samples.size());
  return g;
}

WdlCurves fitWdlCurves(const std::vector<WdlSample>& samples, const WdlFitSettings& settings) {
  // The powers above the degree stay zero: their gradient is masked out, so the search never
  // moves along them.
  WdlGradient mask{};
  for (int k = 0; k <= std::clamp(settings.degree, 0, WdlDegree); k++)
    mask[k] = mask[WdlDegree + 1 + k] = 1;
  auto gradient = [&](const WdlGradient& at) {
    WdlGradient g = wdlLogLossGradient(fromVector(at), samples);
    for (int i = 0; i < WdlParameters; i++) g[i] *= mask[i];
    return g;
  };
  auto loss = [&](const WdlGradient& at) { return wdlLogLoss(fromVector(at), samples); };

  WdlCurves start;
  start.centre[0] = 100;
  start.width[0] = 100;
  WdlGradient x = toVector(start), g = gradient(x);
  double f = loss(x);
  // The inverse Hessian, at first a multiple of the identity that makes the first step ten
  // centipawns long.
  double h[WdlParameters][WdlParameters] = {};
  const double gNorm = std::sqrt(dot(g, g));
  for (int i = 0; i < WdlParameters; i++) h[i][i] = gNorm > 0 ? 10 / gNorm : 1;

  for (int iteration = 0; iteration < settings.maxIterations; iteration++) {
    WdlGradient d{};
    for (int i = 0; i < WdlParameters; i++)
      for (int j = 0; j < WdlParameters; j++) d[i] -= h[i][j] * g[j];
    double slope = dot(g, d);
    if (slope >= 0) {  // not a descent direction: start the curvature estimate again
      for (int i = 0; i < WdlParameters; i++)
        for (int j = 0; j < WdlParameters; j++) h[i][j] = i == j ? 10 / std::sqrt(dot(g, g)) : 0;
      for (int i = 0; i < WdlParameters; i++) d[i] = -h[i][i] * g[i];
      slope = dot(g, d);
    }
    // Backtracking until the loss falls by a fair share of what the slope promises.
    double t = 1, fNew = f;
    WdlGradient xNew = x;
    bool stepped = false;
    for (int halvings = 0; halvings < 60; halvings++, t /= 2) {
      for (int i = 0; i < WdlParameters; i++) xNew[i] = x[i] + t * d[i];
      fNew = loss(xNew);
      if (fNew <= f + 1e-4 * t * slope) {
        stepped = true;
        break;
      }
    }
    if (!stepped || f - fNew < 1e-13) break;
    const WdlGradient gNew = gradient(xNew);
    WdlGradient s{}, y{};
    for (int i = 0; i < WdlParameters; i++) {
      s[i] = xNew[i] - x[i];
      y[i] = gNew[i] - g[i];
    }
    x = xNew;
    g = gNew;
    f = fNew;
    const double sy = dot(s, y);
    if (sy <= 1e-18) continue;
    // BFGS: H' = (I - r s y^T) H (I - r y s^T) + r s s^T, with r = 1 / (s . y).
    const double r = 1 / sy;
    WdlGradient hy{};
    for (int i = 0; i < WdlParameters; i++)
      for (int j = 0; j < WdlParameters; j++) hy[i] += h[i][j] * y[j];
    const double yhy = dot(y, hy);
    for (int i = 0; i < WdlParameters; i++)
      for (int j = 0; j < WdlParameters; j++)
        h[i][j] += (1 + r * yhy) * r * s[i] * s[j] - r * (hy[i] * s[j] + s[i] * hy[j]);
  }
  return fromVector(x);
}

CalibrationTable wdlCalibration(const WdlCurves& curves, const std::vector<WdlSample>& samples,
                                int outcome) {
  CalibrationTable table{};
  for (const WdlSample& s : samples) {
    const WdlProbabilities p = wdlProbabilities(curves, s.score, s.material);
    const double chance = outcome == OutcomeWin ? p.win : outcome == OutcomeLoss ? p.loss : p.draw;
    CalibrationBin& bin = table[std::min(9, int(chance * 10))];
    bin.count++;
    bin.predicted += chance;
    bin.observed += s.outcome == outcome ? 1 : 0;
  }
  for (CalibrationBin& bin : table)
    if (bin.count) {
      bin.predicted /= double(bin.count);
      bin.observed /= double(bin.count);
    }
  return table;
}

double constantLogLoss(const std::vector<WdlSample>& reference,
                       const std::vector<WdlSample>& samples) {
  double counts[3] = {0, 0, 0};
  for (const WdlSample& s : reference) counts[s.outcome]++;
  double sum = 0;
  for (const WdlSample& s : samples)
    sum -= std::log(std::max(MinChance, counts[s.outcome] / double(reference.size())));
  return samples.empty() ? 0 : sum / double(samples.size());
}
