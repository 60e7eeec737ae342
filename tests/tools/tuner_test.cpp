// The tuner finds planted weights: positions whose search scores are the evaluation's with other
// piece values lead it back to those values, from either side to move, held-out games included.
#include "tuner.h"

#include <gtest/gtest.h>

#include "eval/evaluator.h"
#include "eval_weights.h"
#include "support/paths.h"
#include "support/positions.h"

namespace {

// Every weight as it was when the test began, put back when it ends: the other tests of this
// program read the same (global) weights.
class SavedWeights {
 public:
  SavedWeights() {
    for (int id = 0; id < weightCount(); id++) values_.push_back(weightValue(id));
  }
  ~SavedWeights() {
    for (int id = 0; id < weightCount(); id++) setWeightValue(id, values_[id]);
  }

 private:
  std::vector<int> values_;
};

TEST(Tuner, FindsPlantedPieceValues) {
  SavedWeights saved;
  const int pawn = PawnValue.value, rook = RookValue.value;
  PawnValue.value = pawn + 12;
  RookValue.value = rook - 30;

  // The search scores the planted evaluation would give; ten games of 40 positions make every
  // tenth game held out.
  std::vector<std::string> fens = randomPlayFens(40, 120, 8);
  for (const std::string& fen : gameFens(dataPath("master-games.pgn"), 40, 3)) fens.push_back(fen);
  auto holder = positionFrom(InitialFen);
  auto eval = std::make_unique<Evaluator>(*holder);
  TrainingSet data;
  int blackToMove = 0;
  for (size_t i = 0; i < fens.size(); i++) {
    auto pos = positionFrom(fens[i]);
    eval->attach(*pos);
    const PackedRecord r =
        packRecord(*pos, eval->evaluate(), int(i % 200), ResultDrawn, uint32_t(i / 40));
    (isHeldOut(r) ? data.heldOut : data.train).push_back(r);
    blackToMove += pos->sideToMove == Black;
  }
  // A damaged file's records that hold no position are left out: more than 32 men, a nibble no
  // man has, two Black kings and no White one.
  PackedRecord damaged = data.train[0];
  damaged[0] = damaged[1] = damaged[2] = 0xFF;
  data.train.push_back(damaged);
  damaged = data.train[0];
  damaged[8] |= 0x0F;
  data.train.push_back(damaged);
  data.heldOut.push_back(packRecord(*positionFrom("4k3/8/8/8/8/8/8/4K2R w - - 0 1"), 0, 0, 0, 9));
  data.heldOut.back()[8] = 0x2B;  // e1: a Black king, h1: a White bishop
  ASSERT_GT(data.heldOut.size(), 400u);
  ASSERT_GT(blackToMove, 2000);
  PawnValue.value = pawn;
  RookValue.value = rook;

  TuneSettings settings;
  settings.lambda = 1;  // the search scores alone
  settings.scale = 0.006;
  settings.only = {"PawnValue", "RookValue"};
  settings.epochs = 12;
  settings.batch = 512;
  settings.rate = 2;
  settings.minPositions = 1;
  const TuneReport report = tuneWeights(data, settings);
  EXPECT_EQ(report.parameters, 2u);
  EXPECT_EQ(report.fitted, 2u);
  EXPECT_EQ(report.unreadable, 3u);
  EXPECT_EQ(PawnValue.value, pawn + 12);
  EXPECT_EQ(RookValue.value, rook - 30);
  EXPECT_LT(report.after.train, report.before.train / 100);
  EXPECT_LT(report.after.heldOut, report.before.heldOut / 100);
  EXPECT_EQ(KnightValue.value, 300) << "a weight not named is not fitted";
}

}  // namespace
