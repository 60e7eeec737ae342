#include "tuner.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <random>
#include <thread>

#include "eval/evaluator.h"
#include "eval_weights.h"

namespace {

double sigmoid(double x) { return 1.0 / (1.0 + std::exp(-x)); }

// What a position's score should predict: its game's result and its search's winning chance.
double target(const TrainingRecord& r, double k, double lambda) {
  const double result = r.result * 0.5;  // White lost 0, drew 1, won 2
  const double search = r.sideToMove == White ? r.score : -r.score;
  return lambda * sigmoid(k * search) + (1 - lambda) * result;
}

// ---------------------------------------------------------------------------------------------
// The parameters: one per weight entry, or per pair of entries mirrored across the board's
// middle in a square table that is symmetric now (so that it stays symmetric).
// ---------------------------------------------------------------------------------------------

struct Parameter {
  std::vector<int> ids;
  double value = 0;  // the fitted value; the weights hold it rounded
  int written = 0;   // the rounded value the weights hold now
  double m = 0, v = 0;
  uint64_t seen = 0;  // training positions whose score depends on it
};

struct Parameters {
  std::vector<Parameter> list;
  std::vector<int> ofId;  // by weight id; -1 for a weight not fitted

  // The parameter of a weight id, or -1.
  int of(uint16_t id) const { return id < ofId.size() ? ofId[id] : -1; }

  void writeWeights() {
    for (Parameter& p : list) {
      p.written = int(std::lround(std::clamp(p.value, -32767.0, 32767.0)));
      for (int id : p.ids) setWeightValue(id, p.written);
    }
  }
};

bool mirrorSymmetric(const WeightTable& t, int block) {
  for (int r = 0; r < 8; r++)
    for (int f = 0; f < 4; f++)
      if (t.get(block * 64 + r * 8 + f) != t.get(block * 64 + r * 8 + 7 - f)) return false;
  return true;
}

Parameters makeParameters(const std::vector<std::string>& only) {
  Parameters params;
  params.ofId.assign(weightCount(), -1);
  auto add = [&](std::vector<int> ids) {
    for (int id : ids) params.ofId[id] = int(params.list.size());
    Parameter p;
    p.ids = ids;
    p.written = weightValue(ids[0]);
    p.value = p.written;
    params.list.push_back(p);
  };
  for (const WeightTable& t : weightTables()) {
    if (!only.empty() && std::find(only.begin(), only.end(), t.name) == only.end()) continue;
    if (t.squareTables == 0) {
      for (int i = 0; i < t.count; i++) add({t.firstId + i});
      continue;
    }
    for (int b = 0; b < t.squareTables; b++) {
      const bool tied = mirrorSymmetric(t, b);
      for (int r = 0; r < 8; r++)
        for (int f = 0; f < (tied ? 4 : 8); f++) {
          const int id = t.firstId + b * 64 + r * 8 + f;
          if (tied)
            add({id, t.firstId + b * 64 + r * 8 + 7 - f});
          else
            add({id});
        }
    }
  }
  return params;
}

// ---------------------------------------------------------------------------------------------
// Passes over the data
// ---------------------------------------------------------------------------------------------

// One thread's evaluator and position.
struct Worker {
  std::unique_ptr<Position> pos = std::make_unique<Position>();
  std::unique_ptr<Evaluator> eval = std::make_unique<Evaluator>(*pos);
};

// A position's score at the present weights with its coefficients, for the side to move, and
// the sign that turns them to White's view; false for a record that holds no position.
bool traceRecord(Worker& w, const PackedRecord& record, TracedScore& score, int& sign) {
  if (!unpackPosition(record, *w.pos)) return false;
  w.eval->attach(*w.pos);
  score = w.eval->trace();
  sign = w.pos->sideToMove == White ? 1 : -1;
  return true;
}

// Runs work(thread, first, end) on `threads` threads over [0, count) in contiguous chunks.
template <typename Work>
void inParallel(int threads, size_t count, Work work) {
  std::vector<std::thread> running;
  for (int t = 0; t < threads; t++) {
    const size_t first = count * t / threads, end = count * (t + 1) / threads;
    running.emplace_back([&work, t, first, end] { work(t, first, end); });
  }
  for (std::thread& t : running) t.join();
}

// The scores of every position for White at the present weights (not a number for a record that
// holds no position).
std::vector<float> scoreAll(const std::vector<PackedRecord>& records, std::vector<Worker>& workers,
                            const Parameters& params, std::vector<uint64_t>* seen) {
  std::vector<float> scores(records.size(), std::nanf(""));
  std::vector<std::vector<uint64_t>> counts(workers.size());
  inParallel(int(workers.size()), records.size(), [&](int t, size_t first, size_t end) {
    std::vector<uint64_t>& count = counts[t];
    if (seen) count.assign(params.list.size(), 0);
    std::vector<size_t> lastSeen(params.list.size(), SIZE_MAX);
    TracedScore score;
    int sign;
    for (size_t i = first; i < end; i++) {
      if (!traceRecord(workers[t], records[i], score, sign)) continue;
      scores[i] = float(sign * score.value());
      if (!seen) continue;
      for (const WeightTerm& term : score.terms()) {
        const int p = params.of(term.weight);
        if (p >= 0 && term.coefficient != 0 && lastSeen[p] != i) {
          lastSeen[p] = i;
          count[p]++;
        }
      }
    }
  });
  if (seen) {
    seen->assign(params.list.size(), 0);
    for (const auto& count : counts)
      for (size_t p = 0; p < count.size(); p++) (*seen)[p] += count[p];
  }
  return scores;
}

double meanError(const std::vector<PackedRecord>& records, const std::vector<float>& scores,
                 double k, double lambda) {
  double sum = 0;
  for (size_t i = 0; i < records.size(); i++) {
    const double e = sigmoid(k * scores[i]) - target(readRecord(records[i]), k, lambda);
    sum += e * e;
  }
  return records.empty() ? 0 : sum / double(records.size());
}

// The logistic scale that lets the present scores predict the results best (golden section).
double fitScale(const std::vector<PackedRecord>& records, const std::vector<float>& scores) {
  double lo = 0.0005, hi = 0.02;
  const double g = (std::sqrt(5.0) - 1) / 2;
  for (int i = 0; i < 60; i++) {
    const double a = hi - g * (hi - lo), b = lo + g * (hi - lo);
    if (meanError(records, scores, a, 0) < meanError(records, scores, b, 0))
      hi = b;
    else
      lo = a;
  }
  return (lo + hi) / 2;
}

// One Adam step on a batch: every position traced at the present weights, the gradient of the
// mean squared error in every parameter, the parameters moved, the weights rewritten. Returns
// the batch's error.
double adamStep(const std::vector<PackedRecord>& records, const std::vector<size_t>& order,
                size_t first, size_t end, std::vector<Worker>& workers, Parameters& params,
                const TuneSettings& options, double k, double rate, uint64_t step) {
  const size_t n = end - first;
  std::vector<std::vector<double>> gradients(workers.size());
  std::vector<double> errors(workers.size(), 0);
  inParallel(int(workers.size()), n, [&](int t, size_t from, size_t to) {
    std::vector<double>& gradient = gradients[t];
    gradient.assign(params.list.size(), 0);
    TracedScore score;
    int sign;
    for (size_t j = first + from; j < first + to; j++) {
      const PackedRecord& record = records[order[j]];
      if (!traceRecord(workers[t], record, score, sign)) continue;
      // The score at the fitted (fractional) values: the traced one plus the coefficients times
      // the parts the rounded weights leave out.
      double s = score.value();
      for (const WeightTerm& term : score.terms()) {
        const int p = params.of(term.weight);
        if (p >= 0) s += term.coefficient * (params.list[p].value - params.list[p].written);
      }
      s *= sign;
      const double predicted = sigmoid(k * s);
      const double difference = predicted - target(readRecord(record), k, options.lambda);
      errors[t] += difference * difference;
      const double slope = 2 * difference * predicted * (1 - predicted) * k * sign / double(n);
      for (const WeightTerm& term : score.terms()) {
        const int p = params.of(term.weight);
        if (p >= 0) gradient[p] += slope * term.coefficient;
      }
    }
  });
  constexpr double Beta1 = 0.9, Beta2 = 0.999;
  const double correction1 = 1 - std::pow(Beta1, double(step));
  const double correction2 = 1 - std::pow(Beta2, double(step));
  for (size_t p = 0; p < params.list.size(); p++) {
    Parameter& param = params.list[p];
    if (param.seen < uint64_t(options.minPositions)) continue;
    double g = 0;
    for (const auto& gradient : gradients) g += gradient[p];
    param.m = Beta1 * param.m + (1 - Beta1) * g;
    param.v = Beta2 * param.v + (1 - Beta2) * g * g;
    param.value -= rate * (param.m / correction1) / (std::sqrt(param.v / correction2) + 1e-12);
  }
  params.writeWeights();
  double error = 0;
  for (double e : errors) error += e;
  return error / double(n);
}

// The records that hold a position, with their scores.
size_t keepReadable(std::vector<PackedRecord>& records, std::vector<float>& scores) {
  size_t kept = 0;
  for (size_t i = 0; i < records.size(); i++) {
    if (std::isnan(scores[i])) continue;
    records[kept] = records[i];
    scores[kept++] = scores[i];
  }
  const size_t dropped = records.size() - kept;
  records.resize(kept);
  scores.resize(kept);
  return dropped;
}

}  // namespace

TuneReport tuneWeights(const TrainingSet& given, const TuneSettings& settings) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  auto seconds = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
  initTables();
  std::vector<Worker> workers(size_t(std::max(1, settings.threads)));
  Parameters params = makeParameters(settings.only);
  TuneReport report;
  report.parameters = params.list.size();

  std::vector<uint64_t> seen;
  std::vector<float> trainBefore = scoreAll(given.train, workers, params, &seen);
  std::vector<float> heldBefore = scoreAll(given.heldOut, workers, params, nullptr);
  // A damaged file may hold records that are no position: they are left out, with a word.
  auto readable = [](const std::vector<float>& scores) {
    return std::none_of(scores.begin(), scores.end(), [](float v) { return std::isnan(v); });
  };
  TrainingSet filtered;
  const bool damaged = !readable(trainBefore) || !readable(heldBefore);
  if (damaged) {
    filtered = given;
    report.unreadable =
        keepReadable(filtered.train, trainBefore) + keepReadable(filtered.heldOut, heldBefore);
    if (settings.progress)
      std::fprintf(settings.progress, "eval_tune: %zu records hold no legal position; left out\n",
                   report.unreadable);
  }
  const TrainingSet& data = damaged ? filtered : given;
  for (size_t p = 0; p < params.list.size(); p++) {
    params.list[p].seen = seen[p];
    report.fitted += seen[p] >= uint64_t(settings.minPositions);
  }
  const double k = settings.scale > 0 ? settings.scale : fitScale(data.train, trainBefore);
  report.scale = k;
  auto errorsOf = [&](const std::vector<float>& train, const std::vector<float>& held) {
    return TuneErrors{meanError(data.train, train, k, settings.lambda),
                      meanError(data.heldOut, held, k, settings.lambda),
                      meanError(data.train, train, k, 0), meanError(data.heldOut, held, k, 0)};
  };
  report.before = errorsOf(trainBefore, heldBefore);
  if (settings.progress)
    std::fprintf(settings.progress,
                 "eval_tune: %zu training and %zu held-out positions, %zu of %zu parameters seen "
                 "in %d positions or more; scale %.6f; error %.6f, held out %.6f (%.1f s)\n",
                 data.train.size(), data.heldOut.size(), report.fitted, report.parameters,
                 settings.minPositions, k, report.before.train, report.before.heldOut, seconds());

  std::vector<size_t> order(data.train.size());
  for (size_t i = 0; i < order.size(); i++) order[i] = i;
  std::mt19937_64 random(settings.seed);
  uint64_t step = 0;
  const size_t batch = size_t(std::max(1, settings.batch));
  for (int epoch = 0; epoch < settings.epochs; epoch++) {
    std::shuffle(order.begin(), order.end(), random);
    // The step shrinks linearly to a tenth of the first over the run.
    const double rate = settings.rate * (1 - 0.9 * epoch / std::max(1, settings.epochs - 1));
    double error = 0;
    size_t batches = 0;
    for (size_t first = 0; first < order.size(); first += batch) {
      const size_t end = std::min(order.size(), first + batch);
      error += adamStep(data.train, order, first, end, workers, params, settings, k, rate, ++step);
      batches++;
    }
    if (settings.progress)
      std::fprintf(settings.progress,
                   "eval_tune: epoch %d of %d, step %.3f, batch error %.6f (%.1f s)\n", epoch + 1,
                   settings.epochs, rate, error / double(std::max<size_t>(batches, 1)), seconds());
  }

  const std::vector<float> trainAfter = scoreAll(data.train, workers, params, nullptr);
  const std::vector<float> heldAfter = scoreAll(data.heldOut, workers, params, nullptr);
  report.after = errorsOf(trainAfter, heldAfter);
  return report;
}
