// Choosing a book move: marks, weights, the random pick and the display.
#include "book/book_chooser.h"

#include <cmath>
#include <cstdlib>

#include "base/settings.h"
#include "book/book_test_util.h"

namespace {

struct TestMove {
  const char* from;
  const char* to;
  uint16_t wins, draws, losses, code;
};

// A book whose position `pos` has the given moves (and one neighbour position on each side).
struct ChooserBook {
  std::unique_ptr<Position> pos = positionFrom(InitialFen);
  BookChooser chooser;

  void write(const std::vector<TestMove>& moves, bool ratings) {
    uint64_t key = bookKey(*pos);
    std::vector<uint8_t> bytes = ratings ? rawHeader(16, 18, 6) : std::vector<uint8_t>{};
    appendRaw(bytes, {key - 1, 0x01, 0x21, 50, 0, 0, 2800}, true, ratings);
    for (const TestMove& m : moves)
      appendRaw(bytes, {key, squareByte(m.from), squareByte(m.to), m.wins, m.draws, m.losses, m.code},
                true, ratings);
    appendRaw(bytes, {key + 1, 0x01, 0x21, 50, 0, 0, 2800}, true, ratings);
    std::string path = scratchPath("chooser.mvk");
    writeBytes(path, bytes);
    chooser.reader.position = pos.get();
    ASSERT_TRUE(chooser.reader.open(path.c_str()));
  }

  std::vector<double> weights() {
    int count = chooser.reader.fetchMoves();
    std::vector<double> out(count);
    chooser.computeWeights(count, out.data(), int(pos->sideToMove));
    return out;
  }
};

// Rating code of a move Elo for a rating sum of one game-unit scaled to that Elo.
uint16_t codeForElo(int elo) { return uint16_t(elo); }

}  // namespace

TEST(BookChooserSettings, MissingOrEmptyValuesKeepDefaultsAndNumbersAreConverted) {
  Settings settings;
  settings.set("book.play.mingames", "12.5");
  settings.set("book.play.minscorew", "55");
  settings.set("book.play.maxscoredelta", "2.5");
  settings.set("book.play.random", "");
  BookPlaySettings play;
  readPlaySettings(play, settings);
  EXPECT_EQ(play.minGames, 12);
  EXPECT_DOUBLE_EQ(play.minScore[White], 0.55);
  EXPECT_DOUBLE_EQ(play.minScore[Black], 0.40);
  EXPECT_DOUBLE_EQ(play.maxScoreDelta, 0.025);
  EXPECT_DOUBLE_EQ(play.random, 1.0);
  EXPECT_EQ(play.maxPly, 0);
  // An empty or non-numeric score delta must not turn the weights into NaN.
  settings.set("book.play.maxscoredelta", "");
  readPlaySettings(play, settings);
  EXPECT_DOUBLE_EQ(play.maxScoreDelta, 0.05);
  settings.set("book.play.maxscoredelta", "nan");
  readPlaySettings(play, settings);
  EXPECT_DOUBLE_EQ(play.maxScoreDelta, 0.05);
}

TEST(BookChooserWeights, GameCountsDecideWhenOtherWeightsAreOff) {
  ChooserBook book;
  book.write({{"e2", "e4", 30, 30, 0, 0}, {"d2", "d4", 20, 10, 0, 0}, {"c2", "c4", 3, 2, 0, 0},
              {"g1", "f3", 2, 3, 2, 0}},
             false);
  book.chooser.play.gameWeight = 1.0;
  book.chooser.play.eloWeight = 0;
  book.chooser.play.scoreWeight = 0;
  book.chooser.play.minScore[White] = 0;
  book.chooser.play.minGamePct = 0;
  std::vector<double> w = book.weights();
  ASSERT_EQ(w.size(), 4u);
  // c2c4 (5 of 102 games) falls below 10% of e2e4's 60 and is dropped; g1f3 (7) stays.
  EXPECT_NEAR(w[0], 60.0 / 97, 1e-12);
  EXPECT_NEAR(w[1], 30.0 / 97, 1e-12);
  EXPECT_EQ(w[2], 0.0);
  EXPECT_NEAR(w[3], 7.0 / 97, 1e-12);
  for (int i = 0; i < 4; i++) EXPECT_EQ(book.chooser.rows[i].marks, 0u);
}

TEST(BookChooserWeights, MarksAndTheScoreThresholdOfEachSide) {
  ChooserBook book;
  // 10 wins, 12 losses: score 0.4545.
  book.write({{"e2", "e4", 10, 0, 12, 0}, {"d2", "d4", 30, 0, 0, 0}, {"c2", "c4", 1, 0, 0, 0}},
             false);
  std::vector<double> w = book.weights();
  EXPECT_EQ(book.chooser.rows[0].marks, MarkLowScore);
  EXPECT_EQ(book.chooser.rows[2].marks, MarkFewGames | MarkFewGamesPct);
  EXPECT_EQ(w[0], 0.0);
  EXPECT_DOUBLE_EQ(w[1], 1.0);

  // The same move with Black to move and minscoreb 40 is eligible.
  book.pos = positionFrom("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1");
  book.write({{"e7", "e5", 10, 0, 12, 0}, {"d7", "d5", 30, 0, 0, 0}}, false);
  book.weights();
  EXPECT_EQ(book.chooser.rows[0].marks, 0u);
  // Books without rating codes never mark by Elo and have no Elo share.
  EXPECT_EQ(book.chooser.rows[0].elo, 0.0);
  EXPECT_EQ(book.chooser.rows[0].eloShare, 0.0);
}

TEST(BookChooserWeights, EloMarksOnlyWithRatingCodes) {
  ChooserBook book;
  book.chooser.play.minScore[White] = 0;
  // Move Elos 2900, 2750, 2650: minelo 2700 marks the last, maxelodelta 200 the middle one
  // only when it falls 200 below the best.
  book.write({{"e2", "e4", 5, 5, 5, codeForElo(2900)},
              {"d2", "d4", 5, 5, 5, codeForElo(2750)},
              {"c2", "c4", 5, 5, 5, codeForElo(2650)}},
             true);
  book.weights();
  EXPECT_EQ(book.chooser.rows[0].marks, 0u);
  EXPECT_EQ(book.chooser.rows[1].marks, 0u);
  EXPECT_EQ(book.chooser.rows[2].marks, MarkLowElo | MarkEloDelta);
  EXPECT_NEAR(book.chooser.rows[0].elo, 2900, 0.01);
  book.chooser.play.maxEloDelta = 100;
  book.weights();
  EXPECT_EQ(book.chooser.rows[1].marks, MarkEloDelta);
}

TEST(BookChooserWeights, AllMarkedMeansNoBookMove) {
  ChooserBook book;
  book.write({{"e2", "e4", 0, 0, 1, 0}, {"d2", "d4", 1, 0, 0, 0}}, false);
  for (double random : {1.0, 0.5, 0.0}) {
    book.chooser.play.random = random;
    std::vector<double> w = book.weights();
    EXPECT_EQ(w[0], 0.0);
    EXPECT_EQ(w[1], 0.0);
    EXPECT_EQ(book.chooser.pickBookMove(), 0u);
  }
}

TEST(BookChooserWeights, ZeroScoreDeltaAndNegativeGameWeightStayFinite) {
  ChooserBook book;
  book.write({{"e2", "e4", 30, 10, 10, 0}, {"d2", "d4", 10, 5, 5, 0}, {"c2", "c4", 6, 2, 2, 0}},
             false);
  book.chooser.play.maxScoreDelta = 0;
  book.chooser.play.scoreWeight = 1.0;
  std::vector<double> w = book.weights();
  double sum = 0;
  for (double x : w) {
    EXPECT_TRUE(std::isfinite(x));
    sum += x;
  }
  EXPECT_NEAR(sum, 1.0, 1e-12);
  // Negative game weight prefers the rarer moves; the pick probabilities stay a distribution.
  book.chooser.play.maxScoreDelta = 0.05;
  book.chooser.play.scoreWeight = 0;
  book.chooser.play.gameWeight = -1.0;
  w = book.weights();
  EXPECT_LT(w[0], w[1]);
  EXPECT_LT(w[1], w[2]);
  sum = 0;
  for (double x : w) {
    EXPECT_GE(x, 0.0);
    sum += x;
  }
  EXPECT_NEAR(sum, 1.0, 1e-12);
}

TEST(BookChooserPick, RandomZeroAlwaysPlaysTheBestAndTiesGoToTheFirst) {
  ChooserBook book;
  book.write({{"d2", "d4", 10, 10, 0, 0}, {"e2", "e4", 40, 0, 0, 0}, {"c2", "c4", 40, 0, 0, 0}},
             false);
  book.chooser.play.random = 0;
  book.chooser.play.minWeight = 0;
  Move e4 = parseMove(*book.pos, "e2e4");
  srand(3);
  for (int i = 0; i < 2000; i++) ASSERT_EQ(book.chooser.pickBookMove(), e4);
  std::vector<double> w = book.weights();
  EXPECT_EQ(w[0], 0.0);
  EXPECT_EQ(w[1], 1.0);
  EXPECT_EQ(w[2], 0.0);
}

TEST(BookChooserPick, PicksFollowTheWeights) {
  ChooserBook book;
  book.write({{"e2", "e4", 50, 0, 0, 0}, {"d2", "d4", 30, 0, 0, 0}, {"c2", "c4", 15, 0, 0, 0},
              {"g1", "f3", 5, 0, 0, 0}},
             false);
  book.chooser.play.minWeight = 0;
  std::vector<double> w = book.weights();
  const char* texts[4] = {"e2e4", "d2d4", "c2c4", "g1f3"};
  Move moves[4];
  for (int i = 0; i < 4; i++) moves[i] = parseMove(*book.pos, texts[i]);
  const int picks = 20000;
  int counts[4] = {};
  srand(12345);
  for (int n = 0; n < picks; n++) {
    Move m = book.chooser.pickBookMove();
    int found = -1;
    for (int i = 0; i < 4; i++)
      if (sameMove(m, moves[i])) found = i;
    ASSERT_GE(found, 0);
    counts[found]++;
  }
  for (int i = 0; i < 4; i++) {
    double expected = picks * w[i];
    double sigma = std::sqrt(picks * w[i] * (1 - w[i]));
    EXPECT_NEAR(counts[i], expected, 5 * sigma) << texts[i];
  }
}

TEST(BookChooserPick, MaxPlyCountsTheMovesOfTheGame) {
  ChooserBook book;
  playMoves(*book.pos, {"Nf3", "Nf6", "Ng1", "Ng8", "Nf3", "Nf6", "Ng1", "Ng8", "Nf3", "Nf6"});
  book.write({{"g1", "g3", 0, 0, 0, 0}, {"b1", "c3", 9, 0, 0, 0}}, false);
  book.chooser.play.maxPly = 10;
  EXPECT_NE(book.chooser.pickBookMove(), 0u);  // 10 plies played: still in book
  playMoves(*book.pos, {"Ng1"});
  book.write({{"b8", "c6", 9, 0, 0, 0}}, false);
  EXPECT_EQ(book.chooser.pickBookMove(), 0u);  // 11 plies: book no longer consulted
  book.chooser.play.maxPly = 0;
  EXPECT_NE(book.chooser.pickBookMove(), 0u);
}

TEST(BookChooserPick, MoveThatIsNotLegalHereGivesNoMove) {
  ChooserBook book;
  book.write({{"e2", "e5", 20, 0, 0, 0}}, false);  // a key collision would look like this
  EXPECT_EQ(book.chooser.pickBookMove(), 0u);
}

TEST(BookChooserDisplay, ShowsCriteriaWeightsAndOneLinePerMove) {
  ChooserBook book;
  book.write({{"e2", "e4", 30, 40, 30, 0}, {"d2", "d4", 20, 20, 10, 0}, {"g1", "f3", 1, 0, 0, 0}},
             false);
  testing::internal::CaptureStdout();
  book.chooser.showBook();
  std::string out = testing::internal::GetCapturedStdout();
  std::string expected =
      "criteria: maxply=0, mingames=2, mingamepct=10, minelo=2700, maxelodelta=200, "
      "minscorew=50, minscoreb=40, maxscoredelta=5\n"
      "weights : gameweight=100, eloweight=100, scoreweight=0, winweight=0, drawweight=0, "
      "minweight=10, random=100\n"
      "\n pick   move    elo    games  score    +/-   drw%   win%   elo%  game%  score%  combi%\n" +
      std::string(87, '-') + "\n" +
      " 66.7%  e2e4      0      100  50.00   3.87   40.0   30.0    0.0   66.7    0.00   66.67\n"
      " 33.3%  d2d4      0       50  60.00   5.29   40.0   40.0    0.0   33.3  100.00   33.33\n"
      "  0.0%  g1f3      0        1 100.00   0.00    0.0  100.0    0.0    0.0    0.00    0.00"
      " <games <games%\n" +
      std::string(87, '-') + "\n" +
      "100.0%            0      151   53.6    3.1  39.74  33.77\n";
  EXPECT_EQ(out, expected);

  book.pos = positionFrom("8/8/8/8/8/8/8/K6k w - - 0 1");
  book.chooser.reader.position = book.pos.get();
  testing::internal::CaptureStdout();
  book.chooser.showBook();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "position not in book\n");
}

TEST(BookChooserLoad, ReportsTheBookAndTakesThePlaySettings) {
  ChooserBook book;
  book.write({{"e2", "e4", 3, 0, 0, 0}}, false);
  std::string path = scratchPath("chooser.mvk");
  Settings settings;
  settings.set("book.play.mingames", "7");
  BookChooser chooser;
  chooser.reader.position = book.pos.get();
  testing::internal::CaptureStdout();
  EXPECT_TRUE(chooser.loadBook(path.c_str(), settings));
  EXPECT_FALSE(chooser.loadBook("", settings));
  EXPECT_FALSE(chooser.loadBook(scratchPath("none.mvk").c_str(), settings));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "book found: " + path + ", 3 positions\ncould not read book file: " +
                     scratchPath("none.mvk") + "\n");
  EXPECT_EQ(chooser.play.minGames, 7);
}
