// Choosing a book move: the marks that rule moves out, the weights, the random pick and its
// statistics, the game's ply limit. (The display and the settings show in the console.)
#include "book/book_chooser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

#include "board/notation.h"
#include "book/book_test_util.h"
#include "support/positions.h"
#include "support/temp_dir.h"

namespace {

struct TestMove {
  const char* from;
  const char* to;
  uint16_t wins, draws, losses, code;
};

// A book whose position `pos` has the given moves, between two neighbour positions.
struct ChooserBook {
  TempDir dir;
  std::unique_ptr<Position> pos = positionFrom(InitialFen);
  BookChooser chooser;
  std::string path = dir.file("chooser.mvk");

  void write(const std::vector<TestMove>& moves, bool ratings) {
    const uint64_t key = bookKey(*pos);
    std::vector<RawRecord> records = {{key - 1, 0x01, 0x21, 50, 0, 0, 2800}};
    for (const TestMove& m : moves)
      records.push_back(
          {key, squareByte(m.from), squareByte(m.to), m.wins, m.draws, m.losses, m.code});
    records.push_back({key + 1, 0x01, 0x21, 50, 0, 0, 2800});
    dir.write("chooser.mvk", rawBook(records, ratings ? 6 : 2, ratings ? 16 : 0));
    ASSERT_TRUE(chooser.reader.open(path.c_str()));
  }
  std::vector<double> weights() {
    std::vector<double> out(chooser.reader.fetchMoves(*pos));
    chooser.computeWeights(int(out.size()), out.data(), int(pos->sideToMove));
    return out;
  }
};

TEST(BookChooser, MarksRuleMovesOutAndWeightsStayADistribution) {
  ChooserBook book;
  // 10 wins and 12 losses score below White's 50%; one game is too few; Black's threshold is lower.
  book.write({{"e2", "e4", 10, 0, 12, 0}, {"d2", "d4", 30, 0, 0, 0}, {"c2", "c4", 1, 0, 0, 0}},
             false);
  std::vector<double> w = book.weights();
  EXPECT_EQ(book.chooser.rows[0].marks, MarkLowScore);
  EXPECT_EQ(book.chooser.rows[2].marks, MarkFewGames | MarkFewGamesPct);
  EXPECT_EQ(w, (std::vector<double>{0, 1, 0}));
  // Elo marks only with rating codes: below minelo, and too far below the best move.
  book.chooser.play.minScore[White] = 0;
  book.write(
      {{"e2", "e4", 5, 5, 5, 2900}, {"d2", "d4", 5, 5, 5, 2750}, {"c2", "c4", 5, 5, 5, 2650}},
      true);
  book.weights();
  EXPECT_EQ(book.chooser.rows[2].marks, MarkLowElo | MarkEloDelta);

  // Whatever the weights' settings, they are finite, not negative, and sum to 1 (or all 0: no
  // book move).
  std::mt19937 random(8);
  for (int round = 0; round < 500; round++) {
    std::vector<TestMove> moves;
    const char* squares[][2] = {
        {"e2", "e4"}, {"d2", "d4"}, {"c2", "c4"}, {"f2", "f4"}, {"b2", "b4"}};
    for (int i = 0; i < 1 + int(random() % 5); i++)
      moves.push_back({squares[i][0], squares[i][1], uint16_t(random() % 50),
                       uint16_t(random() % 50), uint16_t(random() % 50),
                       uint16_t(random() % 2 ? 2300 + random() % 700 : 0)});
    book.write(moves, round % 2);
    BookPlaySettings& p = book.chooser.play;
    p = BookPlaySettings();
    p.gameWeight = int(random() % 5) - 2;
    p.scoreWeight = random() % 3;
    p.maxScoreDelta = (random() % 3) * 0.05;
    p.minScore[White] = (random() % 3) * 0.25;
    p.random = (random() % 3) * 0.5;
    w = book.weights();
    double sum = 0;
    for (double x : w) {
      ASSERT_TRUE(std::isfinite(x) && x >= 0) << round;
      sum += x;
    }
    ASSERT_TRUE(sum == 0 || std::abs(sum - 1) < 1e-9) << round << ": " << sum;
    EXPECT_TRUE(sum > 0 || book.chooser.pickBookMove(*book.pos) == 0) << round;
  }
}

TEST(BookChooser, PicksFollowTheWeights) {
  ChooserBook book;
  book.write({{"e2", "e4", 50, 0, 0, 0},
              {"d2", "d4", 30, 0, 0, 0},
              {"c2", "c4", 15, 0, 0, 0},
              {"g1", "f3", 5, 0, 0, 0}},
             false);
  book.chooser.play.minWeight = 0;
  const std::vector<double> w = book.weights();
  const char* texts[4] = {"e2e4", "d2d4", "c2c4", "g1f3"};
  const int picks = 20000;
  int counts[4] = {};
  book.chooser.seed(12345);
  for (int n = 0; n < picks; n++) {
    const Move m = book.chooser.pickBookMove(*book.pos);
    int found = -1;
    for (int i = 0; i < 4; i++)
      if (sameMove(m, parseMove(*book.pos, texts[i]))) found = i;
    ASSERT_GE(found, 0);
    counts[found]++;
  }
  for (int i = 0; i < 4; i++)
    EXPECT_NEAR(counts[i], picks * w[i], 5 * std::sqrt(picks * w[i] * (1 - w[i]))) << texts[i];
  // Random 0 always plays the best move; of equals, the first.
  book.write({{"d2", "d4", 10, 10, 0, 0}, {"e2", "e4", 40, 0, 0, 0}, {"c2", "c4", 40, 0, 0, 0}},
             false);
  book.chooser.play.random = 0;
  const Move e4 = parseMove(*book.pos, "e2e4");
  for (int i = 0; i < 2000; i++) ASSERT_EQ(book.chooser.pickBookMove(*book.pos), e4);
}

TEST(BookChooser, GamePlyLimitAndIllegalMoves) {
  ChooserBook book;
  playMoves(*book.pos, {"Nf3", "Nf6", "Ng1", "Ng8", "Nf3", "Nf6", "Ng1", "Ng8", "Nf3", "Nf6"});
  book.write({{"b1", "c3", 9, 0, 0, 0}}, false);
  book.chooser.play.maxPly = 10;
  EXPECT_NE(book.chooser.pickBookMove(*book.pos), 0u);  // 10 plies played: still in book
  playMoves(*book.pos, {"Ng1"});
  book.write({{"b8", "c6", 9, 0, 0, 0}}, false);
  EXPECT_EQ(book.chooser.pickBookMove(*book.pos), 0u);  // 11: the book is no longer asked
  book.pos = positionFrom(InitialFen);
  book.write({{"e2", "e5", 20, 0, 0, 0}}, false);  // what a key collision looks like
  EXPECT_EQ(book.chooser.pickBookMove(*book.pos), 0u);
}

}  // namespace
