// The book builder: the plies stored, the move filters, broken games, failures that leave the old
// book alone, and random games that come back from the book move for move. (The game criteria
// are checked on real games by the master-games test.)
#include "book/book_builder.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "board/notation.h"
#include "support/positions.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace {

const std::string OpenCriteria =
    "book.build.minelo = 0\nbook.build.maxelodelta = 0\nbook.build.minply = 1\n"
    "book.build.maxply = 50\nbook.build.mingames = 1\nbook.build.minquality = 0\n"
    "book.build.minscorew = 0\nbook.build.minscoreb = 0\nbook.build.keeppct = 100\n";

std::string game(const std::string& moves, const char* result, const std::string& tags = "") {
  return tags + "[Result \"" + result + "\"]\n\n" + moves + " " + result + "\n\n";
}

// 4 * reps plies of knights going out and back.
std::string shuffle(int reps) {
  std::string moves;
  for (int i = 0; i < reps; i++) moves += "Nf3 Nf6 Ng1 Ng8 ";
  return moves;
}

struct Build {
  TempDir dir;
  std::unique_ptr<Position> pos = positionFrom(InitialFen);
  std::unique_ptr<BookTable> table = std::make_unique<BookTable>(pos.get());
  RcString bookName = RcString(dir.file("built.mvk").c_str());
  std::string output;
  const BookBuildCounts& counts() const { return table->counts; }

  // A build into a fresh table, as the console makes one.
  bool run(const std::string& pgn, const std::string& criteria, int maxGames = 0) {
    table = std::make_unique<BookTable>(pos.get());
    bool ok = false;
    output = captureStdout([&] {
      ok = buildBook(*table, bookName, dir.write("criteria.ini", criteria).c_str(),
                     dir.write("games.pgn", pgn).c_str(), maxGames);
    });
    return ok;
  }
};

TEST(BookBuilder, PliesStoredUpToMaxPlyOrAnUnderpromotion) {
  Build build;
  ASSERT_TRUE(build.run(game(shuffle(15), "1-0"), OpenCriteria));
  EXPECT_EQ(build.counts().movesStored, 50);  // maxply
  EXPECT_EQ(build.counts().slotsInUse, 4u);   // the same four moves over and over
  // An underpromotion ends what a book stores of a game, but the game counts.
  ASSERT_TRUE(build.run(game(shuffle(3) + "h4 a5 h5 a4 h6 a3 hxg7 axb2 gxh8=N bxa1=Q Nf7", "1-0"),
                        OpenCriteria));
  EXPECT_EQ(build.counts().movesStored, 20);
  EXPECT_EQ(build.counts().gamesUsed, 1);
}

TEST(BookBuilder, BrokenGamesAndFailuresThatLeaveTheOldBookAlone) {
  Build build;
  // A game from a set-up position and one with an illegal move are errors, reported with the
  // line they end on; "*" is no error but no result.
  ASSERT_TRUE(build.run(game("1.e4 e5", "*") +
                            game("Kb1 Kg1", "1-0", "[FEN \"8/8/8/8/8/8/8/K6k w - - 0 1\"]\n") +
                            game("1.e4 e5 2.Ke3", "1-0") + game("1.d4 d5", "1-0"),
                        OpenCriteria));
  EXPECT_EQ(build.counts().errors, 2);
  EXPECT_EQ(build.counts().noResult, 1);
  EXPECT_EQ(build.counts().gamesUsed, 1);
  EXPECT_TRUE(contains(build.output, "illegal move: Ke3\n")) << build.output;
  ASSERT_TRUE(build.run(game("1.e4 e5", "1-0") + game("1.d4 d5", "1-0"), OpenCriteria, 1));
  EXPECT_EQ(build.counts().gamesRead, 1);  // maxgames
  build.dir.write("built.mvk", "precious");
  EXPECT_FALSE(build.run(game("1.e4", "*"), OpenCriteria));
  EXPECT_TRUE(contains(build.output, "-->no moves!\n"));
  EXPECT_FALSE(build.run("", OpenCriteria));
  EXPECT_TRUE(contains(build.output, "-->no games!\n"));
  EXPECT_FALSE(build.run(game("1.e4", "1-0"), OpenCriteria + "book.build.maxply = 0\n"));
  EXPECT_TRUE(contains(build.output, "-->nothing to do: maxply=0\n"));
  EXPECT_EQ(readFile(build.dir.file("built.mvk")), "precious");
}

// Random legal games go through PGN text and the builder; every (position, move) counted must
// come back from the book with the counts of an independent tally keyed by FEN.
TEST(BookBuilder, RandomGamesComeBackMoveForMove) {
  struct Tally {
    uint32_t wins = 0, draws = 0, losses = 0;
  };
  std::map<std::pair<std::string, std::string>, Tally> tally;
  std::mt19937 random(2024);
  std::string pgn;
  const int plies = 30;
  const char* results[3] = {"1-0", "0-1", "1/2-1/2"};
  for (int g = 0; g < 120; g++) {
    auto pos = positionFrom(InitialFen);
    const int result = int(random() % 3);
    std::string moves;
    for (int ply = 0; ply < plies + 6; ply++) {
      const std::string fen = fenOf(*pos);
      const std::string key = fen.substr(0, fen.rfind(' ', fen.rfind(' ') - 1));  // no counters
      // The first plies among three moves each, so that games meet again.
      const std::vector<Move> played = playRandomMoves(*pos, 1, random, false, ply < 4 ? 3 : 0);
      if (played.empty()) break;
      const Move m = played[0];
      char text[MoveTextSize];
      coordinateMove(text, m);
      const bool underpromotion = movePromotion(m) && movePromotion(m) != Queen;
      if (ply < plies && !underpromotion) {
        const std::string squares = {char('a' + fileOf(moveFrom(m))),
                                     char('1' + rankOf(moveFrom(m))), char('a' + fileOf(moveTo(m))),
                                     char('1' + rankOf(moveTo(m)))};
        Tally& t = tally[{key, squares}];
        const bool whiteMoved = ply % 2 == 0;
        (result == 2 ? t.draws : (result == 0) == whiteMoved ? t.wins : t.losses)++;
      }
      moves += (ply % 2 == 0 ? std::to_string(ply / 2 + 1) + "." : "") + text + " ";
      if (underpromotion) break;
    }
    pgn += game(moves, results[result], "[WhiteElo \"2400\"]\n[BlackElo \"2400\"]\n");
  }
  Build build;
  ASSERT_TRUE(build.run(pgn, OpenCriteria + "book.build.maxply = " + std::to_string(plies) + "\n"))
      << build.output;
  EXPECT_EQ(build.counts().errors, 0) << build.output;
  EXPECT_EQ(build.counts().slotsInUse, uint32_t(tally.size()));
  EXPECT_GT(tally.size(), 1600u);  // enough moves to grow the table several times
  std::map<std::string, int> movesPerPosition;
  for (const auto& [k, t] : tally) movesPerPosition[k.first]++;
  BookReader reader;
  ASSERT_TRUE(reader.open(build.bookName.c_str()));
  auto probe = positionFrom(InitialFen);
  for (const auto& [k, t] : tally) {
    ASSERT_TRUE(setFen(*probe, (k.first + " 0 1").c_str()));
    const int count = reader.fetchMoves(*probe);
    ASSERT_EQ(count, std::min(movesPerPosition[k.first], MaxBookMoves)) << k.first;
    int found = 0;
    for (int i = 0; i < count; i++) {
      char text[8];
      bookMoveText(reader.moves[i], text);
      if (k.second != std::string(text, 4)) continue;
      found++;
      EXPECT_EQ(reader.moves[i].wins, t.wins) << k.first << " " << k.second;
      EXPECT_EQ(reader.moves[i].draws, t.draws);
      EXPECT_EQ(reader.moves[i].losses, t.losses);
      EXPECT_TRUE(isLegalMove(*probe, reader.bookMove(*probe, reader.moves[i])));
    }
    EXPECT_EQ(found, 1) << k.first << " " << k.second;
  }
}

}  // namespace
