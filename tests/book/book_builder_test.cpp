// The book builder: game criteria, plies stored, the table, the filters, the printed counts,
// and a round trip of random games through a built book.
#include <map>
#include <random>
#include <sstream>

#include "board/movegen.h"
#include "book/book_builder.h"
#include "book/book_test_util.h"

namespace {

const char* const openCriteria =
    "book.build.minelo = 0\nbook.build.maxelodelta = 0\nbook.build.minply = 1\n"
    "book.build.maxply = 50\nbook.build.mingames = 1\nbook.build.minquality = 0\n"
    "book.build.minscorew = 0\nbook.build.minscoreb = 0\nbook.build.keeppct = 100\n";

std::string game(const std::string& tags, const std::string& moves, const char* result) {
  return tags + "[Result \"" + result + "\"]\n\n" + moves + " " + result + "\n\n";
}

// 4 * reps plies of knights going out and back.
std::string shuffle(int reps) {
  std::string moves;
  for (int i = 0; i < reps; i++) moves += "Nf3 Nf6 Ng1 Ng8 ";
  return moves;
}

struct Build {
  std::unique_ptr<Position> pos = positionFrom(InitialFen);
  std::unique_ptr<BookTable> table = std::make_unique<BookTable>(pos.get());
  RcString bookName;
  std::string output;
  bool ok = false;

  bool run(const std::string& pgn, const std::string& criteria, int maxGames = 0) {
    std::string pgnPath = scratchPath("games.pgn");
    std::string iniPath = scratchPath("criteria.ini");
    writeText(pgnPath, pgn);
    writeText(iniPath, criteria);
    bookName = RcString(scratchPath("built.mvk").c_str());
    testing::internal::CaptureStdout();
    ok = buildBook(*table, bookName, iniPath.c_str(), pgnPath.c_str(), maxGames);
    output = testing::internal::GetCapturedStdout();
    return ok;
  }
  bool printed(const std::string& line) const { return output.find(line) != std::string::npos; }
};

}  // namespace

TEST(BookBuilderNames, DefaultNameComesFromThePgnFile) {
  EXPECT_STREQ(defaultBookName("games/2009.pgn").c_str(), "2009.mvk");
  EXPECT_STREQ(defaultBookName("C:\\db\\games.pgn").c_str(), "games.mvk");
  EXPECT_STREQ(defaultBookName("a.b/games").c_str(), "games.mvk");
  EXPECT_STREQ(defaultBookName("x/y.tar.pgn").c_str(), "y.tar.mvk");
}

TEST(BookBuilderGames, CriteriaSortGamesIntoTheirCounters) {
  Build build;
  const std::string both2300 = "[WhiteElo \"2300\"]\n[BlackElo \"2300\"]\n";
  std::string pgn = game("", "1.e4 e5", "*") +
                    game("[WhiteElo \"2200\"]\n[BlackElo \"2250\"]\n", "1.e4 e5", "1-0") +
                    game("[WhiteElo \"2200\"]\n[BlackElo \"2300\"]\n", "1.d4 d5", "1-0") +
                    game("[WhiteElo \"2300\"]\n[BlackElo \"2500\"]\n", "1.c4 c5", "0-1") +
                    game("[WhiteElo \"2300\"]\n[BlackElo \"2300\"]\n", "1.c4", "1/2-1/2") +
                    game("[FEN \"8/8/8/8/8/8/8/K6k w - - 0 1\"]\n" + both2300, "Kb1 Kg1", "1-0") +
                    game(both2300, "1.e4 e5 2.Ke3", "1-0");
  std::string criteria =
      "book.build.minelo = 2300\nbook.build.maxelodelta = 150\nbook.build.minply = 2\n"
      "book.build.mingames = 1\nbook.build.minquality = 0\nbook.build.minscorew = 0\n"
      "book.build.minscoreb = 0\n";
  ASSERT_TRUE(build.run(pgn, criteria));
  const BookBuildCounts& c = build.table->counts;
  EXPECT_EQ(c.gamesRead, 7);
  EXPECT_EQ(c.noResult, 1);      // "*" is no error
  EXPECT_EQ(c.minEloDrops, 1);   // 2200 and 2250 are both below 2300; 2200/2300 is not
  EXPECT_EQ(c.maxEloDrops, 1);   // 2300 against 2500
  EXPECT_EQ(c.minPlyDrops, 1);   // one ply only
  EXPECT_EQ(c.errors, 2);        // a set-up position and an illegal move
  EXPECT_EQ(c.gamesUsed, 1);
  EXPECT_TRUE(build.printed("illegal move: Ke3\n"));
  EXPECT_TRUE(build.printed("-->error in line 41, game 6\n"));
  EXPECT_TRUE(build.printed("-->error in line 35, game 5\n"));
  EXPECT_TRUE(build.printed("games.read  =       7\n"));
  EXPECT_TRUE(build.printed("   -error   =       2  (-28%)\n"));
  EXPECT_TRUE(build.printed("   -noresult=       1  (-14%)\n"));
  EXPECT_TRUE(build.printed("games.used  =       1  ( 14%)\n"));
}

TEST(BookBuilderGames, PliesStoredAreCappedByMaxPly) {
  Build build;
  ASSERT_TRUE(build.run(game("", shuffle(10), "1-0"), openCriteria));
  EXPECT_EQ(build.table->counts.movesStored, 40);
  EXPECT_EQ(build.table->counts.slotsInUse, 4u);  // the same four moves over and over
  Build longer;
  ASSERT_TRUE(longer.run(game("", shuffle(15), "1-0"), openCriteria));
  EXPECT_EQ(longer.table->counts.movesStored, 50);
}

TEST(BookBuilderGames, UnderpromotionEndsTheGameButKeepsItsPlies) {
  Build build;
  std::string moves = shuffle(3) + "h4 a5 h5 a4 h6 a3 hxg7 axb2 gxh8=N bxa1=Q Nf7";
  ASSERT_TRUE(build.run(game("", moves, "1-0"), openCriteria));
  EXPECT_EQ(build.table->counts.movesStored, 20);
  EXPECT_EQ(build.table->counts.gamesUsed, 1);
  EXPECT_EQ(build.table->counts.errors, 0);
}

TEST(BookBuilderGames, DropSharesPrintNegative) {
  Build build;
  std::string pgn;
  for (int i = 0; i < 195; i++) pgn += game("", "1.e4 e5 2.Nf3", "1-0");
  for (int i = 0; i < 5; i++) pgn += game("", "1.e4 e5 2.Nf6", "1-0");
  ASSERT_TRUE(build.run(pgn, openCriteria));
  EXPECT_TRUE(build.printed("   -error   =       5  ( -2%)\n"));
  EXPECT_TRUE(build.printed("games.used  =     195  ( 97%)\n"));
  // The error games keep the plies they stored before the illegal move.
  EXPECT_TRUE(build.printed("moves      =     595\n"));
  EXPECT_TRUE(build.printed("moves-uniq =       3\n"));
}

TEST(BookBuilderGames, MaxGamesStopsReading) {
  Build build;
  std::string pgn;
  for (int i = 0; i < 10; i++) pgn += game("", "1.e4 e5", "1-0");
  ASSERT_TRUE(build.run(pgn, openCriteria, 3));
  EXPECT_EQ(build.table->counts.gamesRead, 3);
}

TEST(BookBuilderFilters, MoveCriteriaAndTheirShares) {
  Build build;
  std::string pgn;
  // e4 5 games (White wins 4, loses 1), d4 3 games, c4 2 games all lost by White.
  for (int i = 0; i < 4; i++) pgn += game("", "1.e4 e5", "1-0");
  pgn += game("", "1.e4 e5", "0-1");
  for (int i = 0; i < 3; i++) pgn += game("", "1.d4 d5", "1-0");
  for (int i = 0; i < 2; i++) pgn += game("", "1.c4 c5", "0-1");
  std::string criteria = std::string(openCriteria) + "book.build.mingames = 3\n"
                         "book.build.minscorew = 50\nbook.build.minscoreb = 20\n";
  ASSERT_TRUE(build.run(pgn, criteria));
  // Slots: e4, e5, d4, d5, c4, c5. c4 and c5 have 2 games; d5 scored 0 for Black.
  EXPECT_TRUE(build.printed("filtered, slots=6\n"));
  EXPECT_TRUE(build.printed(" -mingames  =       2  (-33%)\n"));
  EXPECT_TRUE(build.printed(" -minmoveelo=       0  (  0%)\n"));
  EXPECT_TRUE(build.printed(" -minscore  =       1  (-16%)\n"));
  EXPECT_TRUE(build.printed("positions  =       2\n"));
  EXPECT_TRUE(build.printed("moves/pos  =    1.50\n"));
  BookReader reader;
  auto pos = positionFrom(InitialFen);
  reader.position = pos.get();
  ASSERT_TRUE(reader.open(build.bookName.c_str()));
  ASSERT_EQ(reader.fetchMoves(), 2);
  char text[8];
  bookMoveText(reader.moves[0], text);
  EXPECT_STREQ(text, "e2e4");  // most games first
  EXPECT_EQ(reader.moves[0].wins, 4u);
  EXPECT_EQ(reader.moves[0].losses, 1u);
  playMoves(*pos, {"e4"});
  ASSERT_EQ(reader.fetchMoves(), 1);
  EXPECT_EQ(reader.moves[0].wins, 1u);  // seen from Black
  EXPECT_EQ(reader.moves[0].losses, 4u);
  EXPECT_EQ(reader.moves[0].from & 0x80, 0x80);
}

TEST(BookBuilderFilters, KeepFilterCoversTheShareOfEachPosition) {
  auto pos = positionFrom(InitialFen);
  BookTable table(pos.get());
  ASSERT_TRUE(table.resize(0));
  EXPECT_EQ(table.capacity, 1024u);
  uint32_t games[4] = {95, 3, 1, 1};
  for (int i = 0; i < 4; i++) {
    BookEntry& slot = table.slots[table.findSlot(77, uint8_t(i), 0x30)];
    slot = BookEntry{77, games[i], 0, 0, 1.0f, uint8_t(i), 0x30};
  }
  BookEntry& other = table.slots[table.findSlot(5, 1, 2)];
  other = BookEntry{5, 1, 0, 0, 1.0f, 1, 2};
  table.counts.slotsInUse = 5;
  table.build.keepPct = 0.98;
  table.sortEntries();
  EXPECT_EQ(table.countPositions(), 2);
  table.keepMostPlayed();
  EXPECT_EQ(table.counts.keepDrops, 1);
  uint32_t kept = 0;
  for (uint32_t i = 0; i < table.capacity; i++)
    if (table.slots[i].key == 77) kept += table.slots[i].games();
  EXPECT_EQ(kept, 99u);  // 95 + 3 + 1: the last single game fell outside the 98% budget
}

TEST(BookBuilderTable, ResizeKeepsEveryMoveAndNeverShrinks) {
  auto pos = positionFrom(InitialFen);
  BookTable table(pos.get());
  ASSERT_TRUE(table.resize(100));
  EXPECT_EQ(table.capacity, 1024u);
  std::mt19937_64 random(5);
  std::vector<BookEntry> added;
  for (int i = 0; i < 700; i++) {
    BookEntry e{random() | 1, uint32_t(i + 1), 0, 0, 0.0f, uint8_t(i & 0x77), uint8_t(i % 100)};
    uint32_t index = table.findSlot(e.key, e.from, e.to);
    ASSERT_EQ(table.slots[index].games(), 0u);
    table.slots[index] = e;
    added.push_back(e);
  }
  testing::internal::CaptureStdout();
  ASSERT_TRUE(table.resize(2048));
  EXPECT_FALSE(table.resize(1500));
  EXPECT_TRUE(table.resize(32768));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "cannot resize 2048 to smaller size 1500!\n+1Mb+\n");
  for (const BookEntry& e : added)
    EXPECT_EQ(table.slots[table.findSlot(e.key, e.from, e.to)].wins, e.wins);
}

TEST(BookBuilderFailures, MessagesAndAnUntouchedBook) {
  Build build;
  std::string book = scratchPath("built.mvk");
  writeText(book, "precious");
  EXPECT_FALSE(build.run(game("", "1.e4", "*"), openCriteria));
  EXPECT_TRUE(build.printed("-->no moves!\n"));
  EXPECT_FALSE(build.run("", openCriteria));
  EXPECT_TRUE(build.printed("-->no games!\n"));
  EXPECT_FALSE(build.run(game("", "1.e4", "1-0"), std::string(openCriteria) + "book.build.maxply = 0\n"));
  EXPECT_TRUE(build.printed("-->nothing to do: maxply=0\n"));
  std::vector<uint8_t> bytes = readBytes(book);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "precious");

  RcString name;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(buildBook(*build.table, name, scratchPath("criteria.ini").c_str(), "", 0));
  EXPECT_FALSE(buildBook(*build.table, name, scratchPath("nope.ini").c_str(), "x.pgn", 0));
  EXPECT_FALSE(buildBook(*build.table, name, scratchPath("criteria.ini").c_str(),
                         scratchPath("nope.pgn").c_str(), 0));
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "no pgnfile!\ncould not load inifile: " + scratchPath("nope.ini") +
                     "\ncould not open pgn-file: " + scratchPath("nope.pgn") + "\n");
}

// Random legal games go through PGN text and the builder; every counted (position, move)
// must come back from the book with the counts of an independent tally keyed by FEN.
TEST(BookBuilderRoundTrip, RandomGamesComeBackMoveForMove) {
  struct Tally {
    uint32_t wins = 0, draws = 0, losses = 0;
  };
  std::map<std::pair<std::string, std::string>, Tally> tally;
  std::mt19937 random(2024);
  std::string pgn;
  const int plies = 30;
  const char* results[3] = {"1-0", "0-1", "1/2-1/2"};
  auto pos = positionFrom(InitialFen);
  for (int g = 0; g < 120; g++) {
    setFen(*pos, InitialFen);
    int result = int(random() % 3);
    std::string moves;
    for (int ply = 0; ply < plies + 6; ply++) {
      Move list[MaxMoves];
      int count = generateLegalMoves(*pos, list);
      if (count == 0) break;
      // Mostly quiet openings that meet again; sometimes anything.
      Move m = list[random() % (random() % 4 == 0 ? count : std::min(count, 6))];
      char text[MoveTextSize];
      printMove(*pos, text, m);
      char fen[128];
      fenString(*pos, fen, sizeof(fen));
      std::string key(fen);
      key = key.substr(0, key.rfind(' ', key.rfind(' ') - 1));  // no move counters
      bool underpromotion = movePromotion(m) != 0 && movePromotion(m) != Queen;
      if (ply < plies && !underpromotion) {
        char from[3] = {char('a' + fileOf(moveFrom(m))), char('1' + rankOf(moveFrom(m))), 0};
        char to[3] = {char('a' + fileOf(moveTo(m))), char('1' + rankOf(moveTo(m))), 0};
        Tally& t = tally[{key, std::string(from) + to}];
        bool mover = (ply & 1) == 0;  // White moved
        if (result == 2) t.draws++;
        else if ((result == 0) == mover) t.wins++;
        else t.losses++;
      }
      moves += (ply % 2 == 0 ? std::to_string(ply / 2 + 1) + "." : std::string()) + text + " ";
      Move made = makeMove(*pos, m);
      ASSERT_NE(made, 0u);
      pos->lastMove = made;
      if (underpromotion) break;
    }
    pgn += game("[WhiteElo \"2400\"]\n[BlackElo \"2400\"]\n", moves, results[result]);
  }
  Build build;
  std::string criteria = std::string(openCriteria) + "book.build.maxply = " +
                         std::to_string(plies) + "\n";
  ASSERT_TRUE(build.run(pgn, criteria)) << build.output;
  EXPECT_EQ(build.table->counts.errors, 0) << build.output;
  EXPECT_EQ(build.table->counts.slotsInUse, uint32_t(tally.size()));
  EXPECT_GT(tally.size(), 1600u);  // enough moves to grow the table several times
  EXPECT_GE(build.table->capacity, 4096u);

  BookReader reader;
  ASSERT_TRUE(reader.open(build.bookName.c_str()));
  std::map<std::string, int> movesPerPosition;
  for (const auto& [k, t] : tally) movesPerPosition[k.first]++;
  auto probe = positionFrom(InitialFen);
  reader.position = probe.get();
  for (const auto& [k, t] : tally) {
    ASSERT_TRUE(setFen(*probe, (k.first + " 0 1").c_str()));
    int count = reader.fetchMoves();
    ASSERT_EQ(count, std::min(movesPerPosition[k.first], MaxBookMoves)) << k.first;
    bool found = false;
    for (int i = 0; i < count; i++) {
      char text[8];
      bookMoveText(reader.moves[i], text);
      if (k.second != std::string(text, 4)) continue;
      found = true;
      EXPECT_EQ(reader.moves[i].wins, t.wins) << k.first << " " << k.second;
      EXPECT_EQ(reader.moves[i].draws, t.draws);
      EXPECT_EQ(reader.moves[i].losses, t.losses);
      EXPECT_NE(reader.bookMove(reader.moves[i]), 0u);
    }
    EXPECT_TRUE(found) << k.first << " " << k.second;
  }
}
