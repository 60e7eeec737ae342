// The self-play generator: the same seed gives the same bytes, an interrupted file continues as
// if never interrupted, and what it writes is what it claims (quiet positions, one result per
// game, decided games won by the side the searches favoured).
#include "selfplay.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/positions.h"
#include "support/temp_dir.h"

namespace {

std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

SelfPlayOptions smallRun(const std::string& out, uint64_t games) {
  SelfPlayOptions options;
  options.out = out;
  options.seed = 99;
  options.games = games;
  options.nodes = 1000;
  options.progressSeconds = 0;
  return options;
}

bool run(const SelfPlayOptions& options, std::string* error = nullptr) {
  SelfPlaySummary summary;
  std::string message;
  const bool ok = runSelfPlay(options, Adjudication{}, nullptr, summary, message);
  if (error) *error = message;
  return ok;
}

TEST(SelfPlay, SameSeedSameBytesAndInterruptedFilesContinue) {
  TempDir dir;
  const std::string straight = dir.file("straight.bin");
  ASSERT_TRUE(run(smallRun(straight, 8)));
  const std::string expected = contents(straight);
  ASSERT_GT(expected.size(), 40u * RecordBytes);
  ASSERT_EQ(expected.size() % RecordBytes, 0u);

  const std::string again = dir.file("again.bin");
  ASSERT_TRUE(run(smallRun(again, 8)));
  EXPECT_TRUE(contents(again) == expected) << "a second run with the same seed differs";

  SelfPlayOptions otherSeed = smallRun(dir.file("other.bin"), 8);
  otherSeed.seed = 100;
  ASSERT_TRUE(run(otherSeed));
  EXPECT_FALSE(contents(otherSeed.out) == expected);

  // Four games, then on to eight: the same file as eight at once.
  const std::string resumed = dir.file("resumed.bin");
  ASSERT_TRUE(run(smallRun(resumed, 4)));
  ASSERT_LT(contents(resumed).size(), expected.size());
  ASSERT_TRUE(run(smallRun(resumed, 8)));
  EXPECT_TRUE(contents(resumed) == expected) << "continuing after four games differs";

  // Cut in the middle of a record in the middle of the file, as a killed run leaves it.
  const std::string cut = dir.file("cut.bin");
  std::ofstream(cut, std::ios::binary) << expected.substr(0, expected.size() / 2 + 13);
  ASSERT_TRUE(run(smallRun(cut, 8)));
  EXPECT_TRUE(contents(cut) == expected) << "continuing a cut file differs";

  // A file made with other settings is refused and left as it was.
  SelfPlayOptions moreNodes = smallRun(cut, 9);
  moreNodes.nodes = 1500;
  std::string error;
  EXPECT_FALSE(run(moreNodes, &error));
  EXPECT_NE(error.find("other settings"), std::string::npos) << error;
  EXPECT_TRUE(contents(cut) == expected);
  // So is any file that is not training data, however short.
  for (const std::string& text : {std::string("notes\n"), std::string(200, 'x')}) {
    const std::string other = dir.write("other.txt", text);
    EXPECT_FALSE(run(smallRun(other, 1), &error));
    EXPECT_NE(error.find("no training data"), std::string::npos) << error;
    EXPECT_EQ(contents(other), text);
  }
}

TEST(SelfPlay, RecordsAreQuietPositionsWithTheirGamesResult) {
  TempDir dir;
  SelfPlayOptions options = smallRun(dir.file("data.bin"), 24);
  ASSERT_TRUE(run(options));
  DataHeader header;
  std::vector<PackedRecord> records;
  std::string error;
  ASSERT_TRUE(readDataFile(options.out.c_str(), header, records, error)) << error;
  EXPECT_EQ(header.seed, 99u);
  EXPECT_EQ(header.nodes, 1000u);
  EXPECT_EQ(header.randomPlies, 8u);

  auto pos = std::make_unique<Position>();
  int results[3] = {}, games = 0;
  for (size_t i = 0; i < records.size(); i++) {
    const TrainingRecord r = readRecord(records[i]);
    ASSERT_TRUE(unpackPosition(records[i], *pos)) << i;
    EXPECT_FALSE(pos->inCheck()) << recordFen(records[i]);
    const bool first = i == 0 || readRecord(records[i - 1]).game != r.game;
    if (!first) {
      const TrainingRecord previous = readRecord(records[i - 1]);
      EXPECT_EQ(r.result, previous.result) << "game " << r.game;
      EXPECT_GT(r.ply, previous.ply) << "game " << r.game;
    } else {
      EXPECT_TRUE(i == 0 || r.game > readRecord(records[i - 1]).game);
      EXPECT_GE(r.ply, 8) << "the random plies come first";
      games++;
    }
    const bool last = i + 1 == records.size() || readRecord(records[i + 1]).game != r.game;
    if (!last) continue;
    results[r.result]++;
    // A decided game ends with the winner's searches ahead.
    const int forWhite = r.sideToMove == White ? r.score : -r.score;
    if (r.result == ResultWhiteWon) {
      EXPECT_GT(forWhite, 0) << "game " << r.game;
    } else if (r.result == ResultBlackWon) {
      EXPECT_LT(forWhite, 0) << "game " << r.game;
    }
  }
  EXPECT_GE(games, 20);
  EXPECT_GT(results[ResultWhiteWon] + results[ResultBlackWon], 0);
}

// A given opening with no random plies: every game starts from it. (The Ruy Lopez position:
// White's best moves there are quiet, so it is the first record of the game.)
TEST(SelfPlay, OpeningsFromAnEpdOrPgnFile) {
  const std::string ruyLopez = "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w AHah -";
  TempDir dir;
  std::vector<OpeningLine> lines;
  std::vector<std::string> warnings;
  std::string error;
  const std::string epd = dir.write("openings.epd",
                                    "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - "
                                    "bm Bb5; id \"ruy\";\n"
                                    "this is no position\n"
                                    "\n");
  ASSERT_TRUE(readOpenings(epd.c_str(), 16, lines, error, warnings)) << error;
  ASSERT_EQ(lines.size(), 1u);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("line 2"), std::string::npos) << warnings[0];

  SelfPlayOptions options = smallRun(dir.file("epd.bin"), 2);
  options.openings = lines;
  options.randomPlies = 0;
  for (uint64_t game = 0; game < 2; game++) {
    const std::vector<PackedRecord> records = playGame(options, Adjudication{}, game);
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(recordFen(records[0]), ruyLopez + " 0 1");
  }

  const std::string pgn = dir.write("openings.pgn",
                                    "[Event \"a\"]\n\n1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 *\n\n"
                                    "[Event \"b\"]\n\n1. e4 Ke7 *\n");
  lines.clear();
  warnings.clear();
  ASSERT_TRUE(readOpenings(pgn.c_str(), 4, lines, error, warnings)) << error;
  ASSERT_EQ(lines.size(), 1u);  // the second game's king cannot go to e7
  EXPECT_EQ(warnings.size(), 1u);
  ASSERT_EQ(lines[0].moves.size(), 4u);  // six plies, cut at four
  options.openings = lines;
  const std::vector<PackedRecord> fromPgn = playGame(options, Adjudication{}, 0);
  ASSERT_FALSE(fromPgn.empty());
  EXPECT_EQ(recordFen(fromPgn[0]), ruyLopez + " 0 3");

  EXPECT_FALSE(readOpenings(dir.file("missing.epd").c_str(), 4, lines, error, warnings));
  EXPECT_NE(error.find("cannot read"), std::string::npos);
  EXPECT_FALSE(readOpenings(dir.write("empty.epd", "\n\n").c_str(), 4, lines, error, warnings));
  EXPECT_NE(error.find("no usable opening"), std::string::npos);
}

}  // namespace
