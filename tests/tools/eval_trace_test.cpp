// The tuning build of the evaluation: its scores are the engine's, every number they add up is a
// listed weight, and the coefficients it reports are the derivatives a tuner needs.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "engine_evaluation.h"
#include "eval/evaluator.h"
#include "eval_weights.h"
#include "support/paths.h"
#include "support/positions.h"

namespace {

// Openings, middle games and endings of random and real games, and endings of every kind the
// draw rules and scales look at.
std::vector<std::string> testFens() {
  std::vector<std::string> fens = randomPlayFens(30, 150, 3);
  for (const std::string& fen : gameFens(dataPath("master-games.pgn"), 100, 2)) fens.push_back(fen);
  const char* const endings[] = {
      "8/5k2/8/8/8/8/P7/K7 w - - 0 1",
      "8/8/8/8/8/1k6/p7/K2B4 b - - 0 1",
      "8/8/3k4/8/8/3K4/3N4/3N4 w - - 0 1",
      "8/2k5/8/8/5b2/8/2K5/3B4 w - - 0 1",
      "8/5pk1/6p1/7p/2r4P/6P1/5PK1/R7 w - - 0 1",
      "4k3/8/8/1p1p4/1P1P4/8/3B4/4Kb2 w - - 0 1",
      "8/6k1/6p1/3Q4/8/5q1P/6PK/8 w - - 0 1",
      "8/p7/8/8/8/8/7P/k5K1 w - - 0 1",
      "8/8/1p6/p1p5/P1P2k2/1P6/3N1K2/8 w - - 0 1",
      "3k4/8/4K3/4P3/8/8/r7/7R b - - 0 1",
      "8/8/4k3/8/8/8/3r4/3QK3 w - - 0 1",
      "4k3/8/8/8/8/8/8/1Q2K1nn w - - 0 1",
  };
  for (const char* fen : endings) fens.push_back(fen);
  return fens;
}

struct Trace {
  TracedScore score;
  std::map<int, double> coefficients;  // by weight id, repeated terms summed
};

Trace traceOf(Evaluator& eval, Position& pos) {
  eval.attach(pos);
  Trace t{eval.trace(), {}};
  for (const WeightTerm& term : t.score.terms()) t.coefficients[term.weight] += term.coefficient;
  return t;
}

TEST(EvalTrace, ScoresAreTheEnginesAndEveryNumberIsAWeight) {
  const std::vector<std::string> fens = testFens();
  auto holder = positionFrom(InitialFen);
  auto eval = std::make_unique<Evaluator>(*holder);
  double worst = 0;
  for (const std::string& fen : fens) {
    auto pos = positionFrom(fen);
    const Trace t = traceOf(*eval, *pos);
    ASSERT_EQ(t.score.value(), engineEvaluation(fen)) << fen;
    eval->attach(*pos);
    ASSERT_EQ(eval->evaluate(), t.score.value()) << fen;
    // Every number reaching the score is a weight: no part of it is left to numbers in the code.
    ASSERT_EQ(t.score.literal(), 0.0) << fen;
    ASSERT_EQ(t.coefficients.count(UnknownWeight), 0u) << fen;
    // The linearisation reproduces the score, short of the truncations of integer division
    // (halves, phase blends out of 32 and 64, scales out of 256 and 1024): a few units at most.
    double sum = t.score.constant();
    for (const auto& [id, c] : t.coefficients) sum += c * weightValue(id);
    worst = std::max(worst, std::abs(sum - t.score.value()));
    ASSERT_LE(std::abs(sum - t.score.value()), 10.0) << fen;
  }
  EXPECT_GT(worst, 0.0);  // the truncations are there: the check compares real sums
}

// The weights whose effect passes through the king danger's thresholds and maxima (the attack
// potential, shelter and storm, the castling shield): linear only piece by piece.
bool inKingDanger(const std::string& table) {
  static const std::regex danger(
      "KingAttack.*|Walk.*|KingShelterBase|KingDangerToMove|KingDangerWeight|kingDanger.*|"
      "shelterTable|stormTable|Storm.*|KingShield.*|ShieldBishopInFront|Castling.*");
  return std::regex_match(table, danger);
}

// Each weight a position's score depends on, moved either way: the score's change is the
// coefficient's. For the weights that enter linearly (most of them) the central difference over
// 8 is exact but for truncation and for a score crossing zero, where another draw scale applies.
// The king danger bends wherever a threshold is crossed or a maximum changes sides (the two
// kings' shields do so at different points, so the bends do not even cancel in the difference
// of the two sides); there the difference is taken over 2, against the truncations of a shield
// term worth an eighth of the opponent's material per unit, and may straddle a bend.
TEST(EvalTrace, CoefficientsAreTheScoresDerivatives) {
  const std::vector<std::string> fens = testFens();
  auto holder = positionFrom(InitialFen);
  auto eval = std::make_unique<Evaluator>(*holder);
  int linear = 0, linearOff = 0, danger = 0, dangerOff = 0;
  std::set<std::string> tables;
  for (size_t i = 0; i < fens.size(); i += 23) {
    auto pos = positionFrom(fens[i]);
    const Trace t = traceOf(*eval, *pos);
    for (const auto& [id, coefficient] : t.coefficients) {
      const std::string table = weightEntry(id).table->name;
      tables.insert(table);
      const bool bends = inKingDanger(table);
      const int step = bends ? 2 : 8;
      const int saved = weightValue(id);
      setWeightValue(id, saved + step);
      const int up = traceOf(*eval, *pos).score.value();
      setWeightValue(id, saved - step);
      const int down = traceOf(*eval, *pos).score.value();
      setWeightValue(id, saved);
      const double error = std::abs((up - down) / (2.0 * step) - coefficient);
      if (bends) {
        danger++;
        dangerOff += error > 2;
      } else {
        linear++;
        linearOff += error > 0.25;
        EXPECT_LE(error, 4.0) << weightName(id) << " in " << fens[i];
      }
    }
  }
  EXPECT_GT(tables.size(), 100u);
  EXPECT_GT(linear, 20000);
  EXPECT_GT(danger, 4000);
  EXPECT_LE(linearOff * 1000, linear) << linearOff << " of " << linear;
  EXPECT_LE(dangerOff * 50, danger) << dangerOff << " of " << danger;
}

// A weight the tuner is not told of is a weight it cannot fit: the list names every declaration
// of the weight tables.
TEST(EvalTrace, EveryDeclaredWeightIsListed) {
  std::set<std::string> listed;
  for (const WeightTable& t : weightTables()) listed.insert(t.name);
  std::set<std::string> declared;
  for (const char* file : {"src/eval/eval_tables.h", "src/eval/eval_tables.cpp"}) {
    std::ifstream in(sourcePath(file));
    ASSERT_TRUE(in.is_open()) << file;
    const std::regex declaration(R"(^(extern )?EVAL_(WEIGHT|DATA) (\w+) (.*))");
    for (std::string line; std::getline(in, line);) {
      std::smatch m;
      if (!std::regex_match(line, m, declaration)) continue;
      std::string rest = m[4];
      // Scalars may share a line: "A = 1, B = 2;".
      std::stringstream parts(rest);
      for (std::string part; std::getline(parts, part, ',');) {
        std::smatch name;
        if (std::regex_search(part, name, std::regex(R"(^\s*(\w+))"))) declared.insert(name[1]);
        if (m[3] != "ScalarWeight") break;
      }
    }
  }
  EXPECT_GT(declared.size(), 130u);
  for (const std::string& name : declared) EXPECT_EQ(listed.count(name), 1u) << name;
  EXPECT_EQ(declared.size(), listed.size());
  // Every entry has its own id, and the ids name their entries.
  EXPECT_EQ(weightCount(), weightTables().back().firstId + weightTables().back().count);
  EXPECT_EQ(weightName(weightTables()[0].firstId), "PawnValue");
  for (const WeightTable& t : weightTables()) {
    if (std::string(t.name) == "knightMobilityMg") {
      EXPECT_EQ(weightName(t.firstId + 3), "knightMobilityMg[3]");
      EXPECT_EQ(tracedWeightId(&knightMobilityMg[3]), t.firstId + 3);
    }
    if (std::string(t.name) == "shelterTable") {
      EXPECT_EQ(weightName(t.firstId + 64 + 8 * 4 + 1), "shelterTable[1][4][1]");
      EXPECT_EQ(tracedWeightId(&shelterTable[1][4][1]), t.firstId + 64 + 8 * 4 + 1);
    }
  }
  int local = 0;
  EXPECT_EQ(tracedWeightId(&local), UnknownWeight);
}

}  // namespace
