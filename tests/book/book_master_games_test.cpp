// A book built from the master-games file, checked against counts made independently from
// the same games: a plain scan of the PGN for the game criteria and the first moves, and
// (when Debian's pgn-extract is installed) its coordinate-notation export for every ply.
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "book/book_builder.h"
#include "book/book_test_util.h"
#include "support/paths.h"

namespace {

// The criteria of tests/book/data/master-criteria.ini.
constexpr int MinElo = 2500, MaxEloDelta = 200, MinPly = 20, MaxPly = 16, MinGames = 2;

struct ScannedGame {
  int whiteElo = 0, blackElo = 0;
  std::string result;
  std::vector<std::string> moves;
};

std::string tagValue(const std::string& line) {
  size_t open = line.find('"');
  if (open == std::string::npos) return "";
  size_t close = line.find('"', open + 1);
  return line.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
}

// Tags and move tokens of every game; a game starts at its first tag after movetext.
std::vector<ScannedGame> scanGames(const std::string& path) {
  std::vector<ScannedGame> games;
  std::ifstream in(path);
  std::string line;
  bool inMoves = true;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line[0] == '[') {
      if (inMoves) games.emplace_back();
      inMoves = false;
      std::string value = tagValue(line);
      if (line.rfind("[WhiteElo ", 0) == 0) games.back().whiteElo = atoi(value.c_str());
      if (line.rfind("[BlackElo ", 0) == 0) games.back().blackElo = atoi(value.c_str());
      if (line.rfind("[Result ", 0) == 0) games.back().result = value;
      continue;
    }
    inMoves = true;
    std::istringstream words(line);
    std::string word;
    while (words >> word) {
      if (word == "1-0" || word == "0-1" || word == "1/2-1/2" || word == "*") continue;
      size_t start = word.find_first_not_of("0123456789.");
      if (start != std::string::npos) games.back().moves.push_back(word.substr(start));
    }
  }
  return games;
}

enum class Fate { NoResult, MinPly, MinElo, MaxElo, Used };

Fate fateOf(const ScannedGame& g) {
  if (g.result != "1-0" && g.result != "0-1" && g.result != "1/2-1/2") return Fate::NoResult;
  if (int(g.moves.size()) < MinPly) return Fate::MinPly;
  if (g.whiteElo < MinElo && g.blackElo < MinElo) return Fate::MinElo;
  if (std::abs(g.whiteElo - g.blackElo) > MaxEloDelta) return Fate::MaxElo;
  return Fate::Used;
}

std::string line(const char* format, int value) {
  char text[128];
  snprintf(text, sizeof(text), format, value);
  return text;
}

struct MasterBuild {
  std::unique_ptr<Position> pos = positionFrom(InitialFen);
  std::unique_ptr<BookTable> table = std::make_unique<BookTable>(pos.get());
  RcString bookName = RcString(scratchPath("master.mvk").c_str());
  std::string output;
  bool ok;
  MasterBuild() {
    testing::internal::CaptureStdout();
    ok = buildBook(*table, bookName, sourcePath("tests/book/data/master-criteria.ini").c_str(),
                   dataPath("master-games.pgn").c_str(), 0);
    output = testing::internal::GetCapturedStdout();
  }
  bool printed(const std::string& text) const { return output.find(text) != std::string::npos; }
};

struct Tally {
  uint32_t wins = 0, draws = 0, losses = 0;
  double ratingSum = 0;
  uint32_t games() const { return wins + draws + losses; }
};

}  // namespace

TEST(BookMasterGames, GameCountsAndFirstMovesMatchAnIndependentScan) {
  std::vector<ScannedGame> games = scanGames(dataPath("master-games.pgn"));
  ASSERT_EQ(games.size(), 400u);  // the whole committed file
  std::map<Fate, int> fates;
  int storedMoves = 0;
  std::map<std::string, Tally> firstMoves;
  for (const ScannedGame& g : games) {
    Fate fate = fateOf(g);
    fates[fate]++;
    if (fate != Fate::Used) continue;
    storedMoves += std::min(int(g.moves.size()), MaxPly);
    Tally& t = firstMoves[g.moves[0]];
    if (g.result == "1-0") t.wins++;
    else if (g.result == "0-1") t.losses++;
    else t.draws++;
  }
  MasterBuild build;
  ASSERT_TRUE(build.ok) << build.output;
  const int read = int(games.size());
  EXPECT_TRUE(build.printed(line("games.read  =%8i\n", read)));
  EXPECT_TRUE(build.printed("   -error   =       0  (  0%)\n")) << build.output;
  EXPECT_TRUE(build.printed(line("   -minply  =%8i", fates[Fate::MinPly])));
  EXPECT_TRUE(build.printed(line("   -minelo  =%8i", fates[Fate::MinElo])));
  EXPECT_TRUE(build.printed(line("   -maxelo  =%8i", fates[Fate::MaxElo])));
  EXPECT_TRUE(build.printed(line("   -noresult=%8i", fates[Fate::NoResult])));
  EXPECT_TRUE(build.printed(line("games.used  =%8i", fates[Fate::Used])));
  EXPECT_TRUE(build.printed(line("\nmoves      =%8i\n", storedMoves)));
  EXPECT_GT(fates[Fate::Used], 100);  // the criteria keep a good share of the games

  // The start position shows every first move played at least MinGames times, with the
  // results of its games.
  BookReader reader;
  reader.position = build.pos.get();
  ASSERT_TRUE(reader.open(build.bookName.c_str()));
  int count = reader.fetchMoves();
  int expected = 0;
  for (const auto& [san, tally] : firstMoves) {
    if (tally.games() < uint32_t(MinGames)) continue;
    expected++;
    Move m = parseMove(*build.pos, san.c_str());
    ASSERT_NE(m, 0u) << san;
    bool found = false;
    for (int i = 0; i < count; i++) {
      if (reader.moves[i].from != moveFrom(m) || reader.moves[i].to != moveTo(m)) continue;
      found = true;
      EXPECT_EQ(reader.moves[i].wins, tally.wins) << san;
      EXPECT_EQ(reader.moves[i].draws, tally.draws) << san;
      EXPECT_EQ(reader.moves[i].losses, tally.losses) << san;
    }
    EXPECT_TRUE(found) << san;
  }
  EXPECT_EQ(count, expected);
  for (int i = 1; i < count; i++) EXPECT_GE(reader.moves[i - 1].games(), reader.moves[i].games());
}

TEST(BookMasterGames, EveryPlyMatchesPgnExtract) {
  const char* tool = "/usr/games/pgn-extract";
  if (!fileExists(tool)) GTEST_SKIP() << "pgn-extract is not installed";
  std::string exported = scratchPath("uci.pgn");
  std::string command = std::string(tool) + " -s -Wuci --nomovenumbers --noresults -w 100000 -o " +
                        exported + " " + dataPath("master-games.pgn") + " 2>/dev/null";
  ASSERT_EQ(system(command.c_str()), 0);
  std::vector<ScannedGame> games = scanGames(exported);
  ASSERT_EQ(games.size(), scanGames(dataPath("master-games.pgn")).size());

  // Replay the exported coordinate moves and count every stored (position, move).
  std::map<std::tuple<uint64_t, int, int>, Tally> tally;
  auto pos = positionFrom(InitialFen);
  for (const ScannedGame& g : games) {
    if (fateOf(g) != Fate::Used) continue;
    setFen(*pos, InitialFen);
    double share = std::pow(2.0, (g.whiteElo - 2400) / 70.0) + std::pow(2.0, (g.blackElo - 2400) / 70.0);
    for (int ply = 0; ply < std::min(int(g.moves.size()), MaxPly); ply++) {
      const std::string& uci = g.moves[ply];
      if (uci.size() == 5 && uci[4] != 'q') break;  // underpromotions end what a book stores
      Move m = parseMove(*pos, uci.c_str());
      ASSERT_NE(m, 0u) << uci;
      bool whiteMoved = ply % 2 == 0;
      Tally& t = tally[{bookKey(*pos), moveFrom(m), moveTo(m)}];
      if (g.result == "1/2-1/2") {
        t.draws++;
        t.ratingSum += share / 2;
      } else if ((g.result == "1-0") == whiteMoved) {
        t.wins++;
        t.ratingSum += share;
      } else {
        t.losses++;
      }
      Move made = makeMove(*pos, m);
      ASSERT_NE(made, 0u);
      pos->lastMove = made;
    }
  }
  int rare = 0;
  std::map<uint64_t, int> positions;
  for (const auto& [k, t] : tally) {
    if (t.games() < uint32_t(MinGames)) rare++;
    else positions[std::get<0>(k)]++;
  }
  MasterBuild build;
  ASSERT_TRUE(build.ok);
  const int uniq = int(tally.size());
  EXPECT_TRUE(build.printed(line("moves-uniq =%8i\n", uniq)));
  EXPECT_TRUE(build.printed(line("filtered, slots=%u\n", uniq)));
  EXPECT_TRUE(build.printed(line(" -mingames  =%8i", rare)));
  EXPECT_TRUE(build.printed(" -minmoveelo=       0  (  0%)\n"));
  EXPECT_TRUE(build.printed(" -minscore  =       0  (  0%)\n"));
  EXPECT_TRUE(build.printed(line("positions  =%8i\n", int(positions.size()))));
  EXPECT_TRUE(build.printed("     -keep =       0  (-0.0%)\n") ||
              build.printed("     -keep =       0  (0.0%)\n"));
  EXPECT_TRUE(build.printed(line("saved %i moves\n", uniq - rare)));

  BookReader reader;
  ASSERT_TRUE(reader.open(build.bookName.c_str()));
  int checked = 0;
  for (const auto& [k, t] : tally) {
    if (t.games() < uint32_t(MinGames)) continue;
    ASSERT_TRUE(reader.findPosition(std::get<0>(k)));
    BookEntry e;
    bool found = false;
    uint64_t key;
    while (readBookKey(reader.file, key) && key == std::get<0>(k) &&
           readBookRecord(e, reader.file, reader.header.flags)) {
      if ((e.from & 0x7F) != std::get<1>(k) || e.to != std::get<2>(k)) continue;
      found = true;
      EXPECT_EQ(e.wins, t.wins);
      EXPECT_EQ(e.draws, t.draws);
      EXPECT_EQ(e.losses, t.losses);
      // The rating code keeps the sum to within half a step of 70 Elo per doubling.
      if (t.ratingSum > 0) {
        EXPECT_NEAR(e.ratingSum / t.ratingSum, 1.0, 0.006);
      }
    }
    clearerr(reader.file);
    ASSERT_TRUE(found);
    checked++;
  }
  EXPECT_EQ(checked, uniq - rare);
}
