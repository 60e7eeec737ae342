// eval_fit: fits the evaluation's weights to the results of finished games.
//
// The quiet positions of the games (no check, no capture or promotion just made, no capture that
// wins material by exchange, past the opening) are scored by the evaluation, and the weights are
// moved so that a logistic function of the score predicts the game results better: the least
// squares fit engine authors call Texel tuning. The evaluation is not linear in every weight
// (king danger thresholds, draw scaling, the middle-game/end-game blend), so the fit works on
// its linearisation around the present weights: every weight is nudged once per position to
// learn how the score moves with it, the linear model is fitted, and the rounded result is then
// checked with the real evaluation, on the positions fitted and on a tenth of the games held out.
//
//   eval_fit [--games N] [--only name,name...] [--lambda L,L...] [--steps S] GAMES.pgn...
//
// It prints the errors before and after and the tables that changed, in the source's layout, to
// be copied into eval_tables.h and tested in play: a better fit is a hint, not proof of strength.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "board/tables.h"
#include "book/pgn_reader.h"
#include "eval/eval_tables.h"
#include "eval/evaluator.h"
#include "eval/exchange.h"

namespace {

// ---------------------------------------------------------------------------------------------
// The weights
// ---------------------------------------------------------------------------------------------

// A table of weights (or one scalar) as the evaluation reads it.
struct WeightTable {
  const char* name;
  int16_t* values;  // null for a scalar
  int* scalar;
  int count;
  int squareTables;  // how many 8x8 square tables the values are (0: a plain list)

  int get(int i) const { return values ? values[i] : *scalar; }
  void set(int i, int v) const {
    if (values)
      values[i] = int16_t(v);
    else
      *scalar = v;
  }
};

template <int N>
WeightTable weights(const char* name, int16_t (&t)[N]) {
  return {name, t, nullptr, N, 0};
}
WeightTable weights(const char* name, SquareTable& t) { return {name, &t[0][0], nullptr, 64, 1}; }
template <int N>
WeightTable weights(const char* name, SquareTable (&t)[N]) {
  return {name, &t[0][0][0], nullptr, 64 * N, N};
}
WeightTable weights(const char* name, int& v) { return {name, nullptr, &v, 1, 0}; }

#define WEIGHTS(x) weights(#x, x)

// Every weight of the evaluation but the king danger thresholds, which are steps, not weights. A
// weight added to eval_tables.h is fitted only once it is listed here.
std::vector<WeightTable> allWeights() {
  return {
      WEIGHTS(PawnValue),
      WEIGHTS(KnightValue),
      WEIGHTS(BishopValue),
      WEIGHTS(RookValue),
      WEIGHTS(QueenValue),
      WEIGHTS(rookByPawns),
      WEIGHTS(bishopByPawns),
      WEIGHTS(knightByPawns),
      WEIGHTS(extraBishop),
      WEIGHTS(bishopVsKnightA),
      WEIGHTS(bishopVsKnightB),
      WEIGHTS(bishopPairVsNone),
      WEIGHTS(loneBishopVsNone),
      WEIGHTS(twoMinorsVsRook),
      WEIGHTS(minorVsRookC),
      WEIGHTS(minorVsRookD),
      WEIGHTS(minorVsRookA),
      WEIGHTS(minorVsRookB),
      WEIGHTS(queenVsRook),
      WEIGHTS(queenVsRookPawns),
      WEIGHTS(queenVsTwoRooks),
      WEIGHTS(minorUpB),
      WEIGHTS(minorUpA),
      WEIGHTS(imbalanceByPawns),
      WEIGHTS(ThreeMinorsVsQueen),
      WEIGHTS(ImbalancePerUnit),
      WEIGHTS(queenEndingScale),
      WEIGHTS(rookEndingScale),
      WEIGHTS(DrawishScale),
      WEIGHTS(LonePawnScale),
      WEIGHTS(SameBishopsScale),
      WEIGHTS(OppositeBishopsBase),
      WEIGHTS(OppositeBishopsPerPawn),
      WEIGHTS(TempoBonus),
      WEIGHTS(kingPawnSpan),
      WEIGHTS(kingFileDistance),
      WEIGHTS(kingScaleByPawns),
      WEIGHTS(kingScaleByUnits),
      WEIGHTS(kingSquareTable),
      WEIGHTS(kingDanger),
      WEIGHTS(KingShelterBase),
      WEIGHTS(KingDangerToMove),
      WEIGHTS(KingDangerWeight),
      WEIGHTS(KingAttackKnight),
      WEIGHTS(KingAttackBishop),
      WEIGHTS(KingAttackRook),
      WEIGHTS(KingAttackQueen),
      WEIGHTS(WalkStraight),
      WEIGHTS(WalkQueenEmptyEnd),
      WEIGHTS(WalkBishopEndFree),
      WEIGHTS(WalkRookEndOnRook),
      WEIGHTS(WalkOwnPawnOnDiagonal),
      WEIGHTS(WalkOwnPieceOnDiagonal),
      WEIGHTS(WalkOwnPawnOnLine),
      WEIGHTS(WalkPawnToLever),
      WEIGHTS(WalkOwnPieceOnLine),
      WEIGHTS(WalkBattery),
      WEIGHTS(WalkEnemyPiece),
      WEIGHTS(WalkEnemyBishopOnDiagonal),
      WEIGHTS(WalkEnemyPawnOnLine),
      WEIGHTS(WalkEnemyRookOnLine),
      WEIGHTS(WalkGuardingPawn),
      WEIGHTS(WalkQueenEnemyPiece),
      WEIGHTS(WalkQueenGuardingPawn),
      WEIGHTS(KingShieldWeight),
      WEIGHTS(KingShieldBase),
      WEIGHTS(ShieldBishopInFront),
      WEIGHTS(CastlingShieldCost),
      WEIGHTS(CastlingPathPiece),
      WEIGHTS(shelterTable),
      WEIGHTS(stormTable),
      WEIGHTS(knightMobilityMg),
      WEIGHTS(knightMobilityEg),
      WEIGHTS(knightAttacksMg),
      WEIGHTS(knightAttacksEg),
      WEIGHTS(knightSquareTable),
      WEIGHTS(knightBehindPawn),
      WEIGHTS(knightPawnAhead),
      WEIGHTS(bishopMobility),
      WEIGHTS(bishopAttacksMg),
      WEIGHTS(bishopAttacksEg),
      WEIGHTS(bishopSquareTable),
      WEIGHTS(rookMobilityMg),
      WEIGHTS(rookMobilityEg),
      WEIGHTS(rookAttacksMg),
      WEIGHTS(rookAttacksEg),
      WEIGHTS(rookOpenFile),
      WEIGHTS(rookHalfOpenFile),
      WEIGHTS(queenSquareMg),
      WEIGHTS(queenSquareEg),
      WEIGHTS(TrappedMinorPenalty),
      WEIGHTS(TrappedRookPenalty),
      WEIGHTS(RookSeventhKingBackMg),
      WEIGHTS(RookSeventhKingBackEg),
      WEIGHTS(RookSeventhKingSeventh),
      WEIGHTS(QueenSeventhKingBackMg),
      WEIGHTS(QueenSeventhKingBackEg),
      WEIGHTS(QueenSeventhKingSeventh),
      WEIGHTS(QueenNearKing),
      WEIGHTS(QueenKingDistance),
      WEIGHTS(pawnSquareMg),
      WEIGHTS(pawnSquareEg),
      WEIGHTS(passedMg),
      WEIGHTS(passedEg),
      WEIGHTS(isolatedMg),
      WEIGHTS(isolatedEg),
      WEIGHTS(doubledMg),
      WEIGHTS(doubledEg),
      WEIGHTS(backwardMg),
      WEIGHTS(backwardEg),
      WEIGHTS(pawnChainBonus),
      WEIGHTS(DoubledOpenMg),
      WEIGHTS(IsolatedOpenMg),
      WEIGHTS(IsolatedOpenEg),
      WEIGHTS(BackwardOpenMg),
      WEIGHTS(BackwardOpenEg),
      WEIGHTS(passedPhalanxMg),
      WEIGHTS(passedPhalanxEg),
      WEIGHTS(passedDefendedMg),
      WEIGHTS(passedDefendedEg),
      WEIGHTS(candidateMg),
      WEIGHTS(candidateEg),
      WEIGHTS(passerFree),
      WEIGHTS(passerBlocked),
      WEIGHTS(passerBlockedByMinor),
      WEIGHTS(passerOwnKing),
      WEIGHTS(passerEnemyKing),
      WEIGHTS(passerRookBehind),
      WEIGHTS(PromotionVsMinor),
      WEIGHTS(PromotionVsRook),
      WEIGHTS(PromotionVsQueen),
      WEIGHTS(RaceWin),
      WEIGHTS(RacePerMove),
      WEIGHTS(StormContact),
      WEIGHTS(StormLever),
      WEIGHTS(StormBlocked),
  };
}

// One unknown of the fit: an entry of a table, or an entry and its mirror across the board's
// middle (files a..h) in a square table that is symmetric, so that both stay equal.
struct Parameter {
  int table;
  int index;
  int mirror;  // -1 when the entry stands alone
};

bool mirrorSymmetric(const WeightTable& w, int block) {
  for (int r = 0; r < 8; r++)
    for (int f = 0; f < 4; f++)
      if (w.get(block * 64 + r * 8 + f) != w.get(block * 64 + r * 8 + 7 - f)) return false;
  return true;
}

std::vector<Parameter> parametersOf(const std::vector<WeightTable>& tables) {
  std::vector<Parameter> params;
  for (int t = 0; t < int(tables.size()); t++) {
    const WeightTable& w = tables[t];
    if (!w.squareTables) {
      for (int i = 0; i < w.count; i++) params.push_back({t, i, -1});
      continue;
    }
    for (int b = 0; b < w.squareTables; b++) {
      const bool tied = mirrorSymmetric(w, b);
      for (int r = 0; r < 8; r++)
        for (int f = 0; f < (tied ? 4 : 8); f++)
          params.push_back({t, b * 64 + r * 8 + f, tied ? b * 64 + r * 8 + 7 - f : -1});
    }
  }
  return params;
}

void addTo(const std::vector<WeightTable>& tables, const Parameter& p, int delta) {
  const WeightTable& w = tables[p.table];
  w.set(p.index, w.get(p.index) + delta);
  if (p.mirror >= 0) w.set(p.mirror, w.get(p.mirror) + delta);
}

// ---------------------------------------------------------------------------------------------
// The positions
// ---------------------------------------------------------------------------------------------

constexpr int FirstPly = 16;  // the openings are book moves; the fit wants the games' own play

struct Sample {
  std::string fen;
  float result;  // for White: 1, 0.5 or 0
  bool heldOut;
};

// Quiet: the evaluation alone should be able to judge it.
bool isQuiet(Position& pos, Move made) {
  if (givesCheck(made) || moveCaptured(made) || movePromotion(made)) return false;
  Move captures[MaxMoves];
  const Move* end = generateCaptures(pos, captures);
  for (const Move* m = captures; m < end; m++)
    if (*m && staticExchange(pos, int(pos.sideToMove), *m) > 0) return false;
  return true;
}

std::string fenOf(const Position& pos) {
  char buffer[128];
  fenString(pos, buffer, sizeof buffer);
  return buffer;
}

// The quiet positions of every decided or drawn game of a PGN file; every tenth game is held out.
void readSamples(const char* path, int maxGames, int& games, std::vector<Sample>& samples) {
  PgnReader reader;
  if (!reader.open(path)) {
    std::fprintf(stderr, "eval_fit: cannot read %s\n", path);
    std::exit(2);
  }
  auto pos = std::make_unique<Position>();
  while (games < maxGames) {
    PgnGame* game = reader.nextGame();
    if (!game) break;
    if (game->result == ResultNone) continue;
    const float result = game->result == ResultWhiteWins   ? 1.0f
                         : game->result == ResultBlackWins ? 0.0f
                                                           : 0.5f;
    const char* start = game->fen.empty() ? InitialFen : game->fen.c_str();
    if (!setFen(*pos, start)) continue;
    const bool heldOut = games % 10 == 9;
    games++;
    int ply = 0;
    for (const RcString& token : game->moves) {
      const Move m = parseMove(*pos, token.c_str());
      const Move made = m ? makeMove(*pos, m & ~MoveCheckFlags) : 0;
      if (!made) break;  // the rest of a game with an unreadable move is lost, not guessed
      if (++ply >= FirstPly && isQuiet(*pos, made))
        samples.push_back({fenOf(*pos), result, heldOut});
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Scores and errors
// ---------------------------------------------------------------------------------------------

// The score for White with nothing remembered from other weights.
int freshScore(Evaluator& eval, const Position& pos) {
  eval.clearCache();
  PawnEntry& entry = eval.pawnHash().slot(pos.pawnKey);
  entry.check = ~uint32_t(pos.pawnKey >> 32);
  const int score = eval.evaluateUncached();
  return pos.sideToMove == White ? score : -score;
}

double expected(double score, double k) { return 1.0 / (1.0 + std::exp(-k * score)); }

double meanError(const std::vector<Sample>& samples, const std::vector<float>& scores, double k,
                 bool heldOut) {
  double sum = 0;
  int n = 0;
  for (size_t i = 0; i < samples.size(); i++) {
    if (samples[i].heldOut != heldOut) continue;
    const double e = samples[i].result - expected(scores[i], k);
    sum += e * e;
    n++;
  }
  return n ? sum / n : 0;
}

std::vector<float> scoreAll(const std::vector<Sample>& samples, Position& pos, Evaluator& eval) {
  std::vector<float> scores(samples.size());
  for (size_t i = 0; i < samples.size(); i++) {
    setFen(pos, samples[i].fen.c_str());
    scores[i] = float(freshScore(eval, pos));
  }
  return scores;
}

// The logistic scale that fits the present scores best (a golden-section search).
double fitScale(const std::vector<Sample>& samples, const std::vector<float>& scores) {
  double lo = 0.0005, hi = 0.02;
  const double g = (std::sqrt(5.0) - 1) / 2;
  for (int i = 0; i < 60; i++) {
    const double a = hi - g * (hi - lo), b = lo + g * (hi - lo);
    if (meanError(samples, scores, a, false) < meanError(samples, scores, b, false))
      hi = b;
    else
      lo = a;
  }
  return (lo + hi) / 2;
}

// ---------------------------------------------------------------------------------------------
// The linear model and its fit
// ---------------------------------------------------------------------------------------------

constexpr int Nudge = 8;           // a weight is moved this far to measure the score's slope
constexpr int MinPositions = 500;  // a weight seen in fewer training positions stays as it is

struct Slope {
  int param;
  float perUnit;
};

// The slopes of every training position's score in every parameter, and how many positions
// each parameter moves.
struct LinearModel {
  std::vector<size_t> first;  // per sample, into slopes; one more entry at the end
  std::vector<Slope> slopes;
  std::vector<int> seen;
};

LinearModel measureSlopes(const std::vector<Sample>& samples, const std::vector<float>& base,
                          const std::vector<WeightTable>& tables,
                          const std::vector<Parameter>& params, Position& pos, Evaluator& eval) {
  LinearModel model;
  model.seen.assign(params.size(), 0);
  for (size_t i = 0; i < samples.size(); i++) {
    model.first.push_back(model.slopes.size());
    if (samples[i].heldOut) continue;
    setFen(pos, samples[i].fen.c_str());
    for (int p = 0; p < int(params.size()); p++) {
      addTo(tables, params[p], Nudge);
      const int moved = freshScore(eval, pos);
      addTo(tables, params[p], -Nudge);
      if (moved != int(base[i])) {
        model.slopes.push_back({p, float(moved - base[i]) / Nudge});
        model.seen[p]++;
      }
    }
    if (i % 20000 == 19999)
      std::fprintf(stderr, "slopes: %zu of %zu positions\n", i + 1, samples.size());
  }
  model.first.push_back(model.slopes.size());
  return model;
}

// Adam on the mean squared error of the linear model plus lambda * (change)^2 per parameter.
std::vector<double> fitChanges(const std::vector<Sample>& samples, const std::vector<float>& base,
                               const LinearModel& model, double k, double lambda, int steps) {
  const size_t n = model.seen.size();
  std::vector<double> change(n, 0), m(n, 0), v(n, 0), grad(n);
  int trained = 0;
  for (const Sample& s : samples) trained += !s.heldOut;
  const double rate = 0.5, beta1 = 0.9, beta2 = 0.999;
  for (int step = 1; step <= steps; step++) {
    std::fill(grad.begin(), grad.end(), 0.0);
    double error = 0;
    for (size_t i = 0; i < samples.size(); i++) {
      if (samples[i].heldOut) continue;
      double score = base[i];
      for (size_t j = model.first[i]; j < model.first[i + 1]; j++)
        score += model.slopes[j].perUnit * change[model.slopes[j].param];
      const double p = expected(score, k);
      const double e = samples[i].result - p;
      error += e * e;
      const double d = -2 * e * p * (1 - p) * k / trained;
      for (size_t j = model.first[i]; j < model.first[i + 1]; j++)
        grad[model.slopes[j].param] += d * model.slopes[j].perUnit;
    }
    for (size_t p = 0; p < n; p++) {
      if (model.seen[p] < MinPositions) continue;
      const double g = grad[p] + 2 * lambda * change[p];
      m[p] = beta1 * m[p] + (1 - beta1) * g;
      v[p] = beta2 * v[p] + (1 - beta2) * g * g;
      const double mh = m[p] / (1 - std::pow(beta1, step)), vh = v[p] / (1 - std::pow(beta2, step));
      change[p] -= rate * mh / (std::sqrt(vh) + 1e-12);
    }
    if (step % 200 == 0) std::fprintf(stderr, "step %d: model error %.6f\n", step, error / trained);
  }
  return change;
}

// ---------------------------------------------------------------------------------------------
// Output
// ---------------------------------------------------------------------------------------------

void printTable(const WeightTable& w) {
  if (!w.values) {
    std::printf("%s = %d;\n", w.name, *w.scalar);
    return;
  }
  std::printf("%s = {", w.name);
  if (!w.squareTables) {
    for (int i = 0; i < w.count; i++) std::printf("%s%d", i ? ", " : "", w.values[i]);
    std::printf("};\n");
    return;
  }
  std::printf("\n");
  for (int b = 0; b < w.squareTables; b++) {
    if (w.squareTables > 1) std::printf("  {\n");
    for (int r = 0; r < 8; r++) {
      std::printf("    {");
      for (int f = 0; f < 8; f++) std::printf("%s%d", f ? ", " : "", w.values[b * 64 + r * 8 + f]);
      std::printf("},\n");
    }
    if (w.squareTables > 1) std::printf("  },\n");
  }
  std::printf("};\n");
}

bool selected(const char* name, const std::vector<std::string>& only) {
  if (only.empty()) return true;
  for (const std::string& s : only)
    if (s == name) return true;
  return false;
}

std::vector<std::string> splitNames(const char* list) {
  std::vector<std::string> names;
  std::string current;
  for (const char* c = list;; c++) {
    if (*c == ',' || *c == 0) {
      if (!current.empty()) names.push_back(current);
      current.clear();
      if (!*c) break;
    } else {
      current += *c;
    }
  }
  return names;
}

}  // namespace

int main(int argc, char** argv) {
  int maxGames = 1 << 30, steps = 1000;
  std::vector<double> lambdas = {1e-7, 1e-6, 1e-5, 1e-4};
  std::vector<std::string> only;
  std::vector<const char*> files;
  for (int i = 1; i < argc; i++) {
    const bool hasValue = i + 1 < argc;
    if (!std::strcmp(argv[i], "--games") && hasValue)
      maxGames = std::atoi(argv[++i]);
    else if (!std::strcmp(argv[i], "--only") && hasValue)
      only = splitNames(argv[++i]);
    else if (!std::strcmp(argv[i], "--lambda") && hasValue) {
      lambdas.clear();
      for (const std::string& v : splitNames(argv[++i])) lambdas.push_back(std::atof(v.c_str()));
    } else if (!std::strcmp(argv[i], "--steps") && hasValue)
      steps = std::atoi(argv[++i]);
    else if (argv[i][0] == '-') {
      std::fprintf(stderr, "eval_fit: unknown option %s\n", argv[i]);
      return 2;
    } else {
      files.push_back(argv[i]);
    }
  }
  if (files.empty()) {
    std::fprintf(stderr,
                 "usage: eval_fit [--games N] [--only name,...] [--lambda L,L...] [--steps S] "
                 "GAMES.pgn...\n");
    return 2;
  }

  initTables();
  std::vector<Sample> samples;
  int games = 0;
  for (const char* file : files) readSamples(file, maxGames, games, samples);
  std::fprintf(stderr, "%d games, %zu quiet positions\n", games, samples.size());
  if (samples.empty()) return 1;

  std::vector<WeightTable> tables;
  for (const WeightTable& w : allWeights())
    if (selected(w.name, only)) tables.push_back(w);
  if (tables.empty()) {
    std::fprintf(stderr, "eval_fit: no such weights\n");
    return 2;
  }
  const std::vector<Parameter> params = parametersOf(tables);
  std::vector<int> before(params.size());
  for (size_t p = 0; p < params.size(); p++)
    before[p] = tables[params[p].table].get(params[p].index);

  auto pos = std::make_unique<Position>();
  Evaluator eval(*pos);
  const std::vector<float> base = scoreAll(samples, *pos, eval);
  const double k = fitScale(samples, base);
  const double trainBefore = meanError(samples, base, k, false);
  const double heldBefore = meanError(samples, base, k, true);
  std::fprintf(stderr, "%zu parameters, scale %.6f, error %.6f (held out %.6f)\n", params.size(), k,
               trainBefore, heldBefore);

  const LinearModel model = measureSlopes(samples, base, tables, params, *pos, eval);
  // One fit per regularisation strength; the one that predicts the held-out games best is kept.
  std::vector<int> bestChange;
  double bestHeld = heldBefore, bestTrain = trainBefore, bestLambda = 0;
  for (double lambda : lambdas) {
    const std::vector<double> change = fitChanges(samples, base, model, k, lambda, steps);
    std::vector<int> rounded(params.size());
    for (size_t p = 0; p < params.size(); p++) rounded[p] = int(std::lround(change[p]));
    for (size_t p = 0; p < params.size(); p++) addTo(tables, params[p], rounded[p]);
    const std::vector<float> after = scoreAll(samples, *pos, eval);
    const double train = meanError(samples, after, k, false),
                 held = meanError(samples, after, k, true);
    for (size_t p = 0; p < params.size(); p++) addTo(tables, params[p], -rounded[p]);
    std::fprintf(stderr, "lambda %g: error %.6f, held out %.6f\n", lambda, train, held);
    if (held < bestHeld) {
      bestHeld = held;
      bestTrain = train;
      bestLambda = lambda;
      bestChange = rounded;
    }
  }
  if (bestChange.empty()) {
    std::printf("// no fit predicts the held-out games better than the present weights\n");
    return 0;
  }
  for (size_t p = 0; p < params.size(); p++) addTo(tables, params[p], bestChange[p]);
  std::printf("// %d games, %zu positions, scale %.6f, lambda %g\n", games, samples.size(), k,
              bestLambda);
  std::printf("// error %.6f -> %.6f, held out %.6f -> %.6f\n", trainBefore, bestTrain, heldBefore,
              bestHeld);
  for (const WeightTable& w : tables) {
    bool changed = false;
    for (size_t p = 0; p < params.size(); p++)
      if (&tables[params[p].table] == &w && w.get(params[p].index) != before[p]) changed = true;
    if (changed) printTable(w);
  }
  return 0;
}
