// The tuner finds planted weights: positions whose search scores are the evaluation's with other
// piece values lead it back to those values, from either side to move, held-out games included.
#include "tuner.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>

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
  const int pawn = PawnValue.value, rook = RookValue.value, knight = KnightValue.value;
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
  EXPECT_EQ(KnightValue.value, knight) << "a weight not named is not fitted";
}

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

const WeightTable& tableNamed(const std::string& name) {
  for (const WeightTable& t : weightTables())
    if (name == t.name) return t;
  throw std::runtime_error("no weight table " + name);
}

// The numbers of a declaration as a reader of the source sees them: from its '=' to its ';',
// comments left out. Also where the declaration begins and ends.
struct Declaration {
  size_t begin = std::string::npos, end = std::string::npos;
  std::vector<int> values;
};
Declaration declarationOf(const std::string& source, const std::string& name) {
  Declaration d;
  std::smatch m;
  if (!std::regex_search(source, m, std::regex("EVAL_(WEIGHT|DATA) \\w+ " + name + "\\b[^;]*=")))
    return d;
  d.begin = size_t(m.position(0));
  d.end = source.find(';', d.begin + m.length(0));
  std::string body = source.substr(d.begin + m.length(0), d.end - d.begin - m.length(0));
  body = std::regex_replace(body, std::regex("//[^\\n]*"), "");
  const std::regex number("-?\\d+");
  for (auto it = std::sregex_iterator(body.begin(), body.end(), number);
       it != std::sregex_iterator(); ++it)
    d.values.push_back(std::stoi(it->str()));
  return d;
}

// A fit is applied by writing the tables into the engine's source: every table written back
// unchanged leaves both files as they are (comments with numbers in them included), and a
// changed entry lands in its own table, row and file, with nothing else in the files moved.
TEST(Tuner, WritesFittedTablesIntoTheSource) {
  SavedWeights saved;
  const std::string original[2] = {fileText(sourcePath("src/eval/eval_tables.h")),
                                   fileText(sourcePath("src/eval/eval_tables.cpp"))};
  ASSERT_GT(original[0].size(), 10000u);
  ASSERT_GT(original[1].size(), 1000u);
  std::string written[2] = {original[0], original[1]};
  std::string error;
  for (const WeightTable& t : weightTables())
    EXPECT_TRUE(writeTableInto(written[t.inSourceFile], t, error)) << error;
  EXPECT_EQ(written[0], original[0]);
  EXPECT_EQ(written[1], original[1]);

  IsolatedOpenEg.value = 37;              // a scalar, from a negative value
  passedPhalanxEg[6] = int16_t(-5);       // a list, to a negative one
  kingSquareTable[7][2] = int16_t(1234);  // a square table of the header
  shelterTable[1][4][1] = int16_t(-321);  // the second of the source file's square tables
  for (const char* name :
       {"IsolatedOpenEg", "passedPhalanxEg", "kingSquareTable", "shelterTable"}) {
    const WeightTable& t = tableNamed(name);
    std::string& text = written[t.inSourceFile];
    const std::string previous = text;
    const Declaration before = declarationOf(text, name);
    ASSERT_NE(before.end, std::string::npos) << name;
    ASSERT_TRUE(writeTableInto(text, t, error)) << error;
    const Declaration after = declarationOf(text, name);
    ASSERT_EQ(after.values.size(), size_t(t.count)) << name;
    for (int i = 0; i < t.count; i++) EXPECT_EQ(after.values[i], t.get(i)) << name << " " << i;
    EXPECT_EQ(after.begin, before.begin) << name;
    EXPECT_EQ(text.substr(0, after.begin), previous.substr(0, before.begin)) << name;
    EXPECT_EQ(text.substr(after.end), previous.substr(before.end)) << name;
  }
  EXPECT_EQ(declarationOf(written[0], "IsolatedOpenEg").values, std::vector<int>{37});
  EXPECT_EQ(declarationOf(written[0], "passedPhalanxEg").values[6], -5);
  EXPECT_EQ(declarationOf(written[0], "kingSquareTable").values[7 * 8 + 2], 1234);
  EXPECT_EQ(declarationOf(written[1], "shelterTable").values[64 + 4 * 8 + 1], -321);

  // A table the text does not declare, or declares with another count, is not written.
  std::string other = "EVAL_WEIGHT int16_t passedPhalanxEg[3] = {1, 2, 3};\n";
  EXPECT_FALSE(writeTableInto(other, tableNamed("passedPhalanxEg"), error));
  EXPECT_EQ(error, "passedPhalanxEg is declared with 3 numbers, not 8");
  EXPECT_FALSE(writeTableInto(other, tableNamed("PawnValue"), error));
  EXPECT_EQ(error, "PawnValue is not declared here");
  EXPECT_EQ(other, "EVAL_WEIGHT int16_t passedPhalanxEg[3] = {1, 2, 3};\n");
}

}  // namespace
