// A book built from the master-games file, checked against counts made independently from the
// same games: a plain scan of the PGN for the game criteria, and Debian's pgn-extract, whose
// coordinate-notation export gives every ply to replay.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

#include "board/notation.h"
#include "book/book_builder.h"
#include "support/paths.h"
#include "support/positions.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/text.h"

namespace {

// The criteria of tests/book/data/master-criteria.ini.
constexpr int MinElo = 2500, MaxEloDelta = 200, MinPly = 20, MaxPly = 16, MinGames = 2;

enum Fate { NoResult, TooShort, LowElo, EloApart, Used };

struct ScannedGame {
  int whiteElo = 0, blackElo = 0;
  std::string result;
  std::vector<std::string> moves;
  Fate fate() const {  // in the order the builder applies the criteria
    if (result != "1-0" && result != "0-1" && result != "1/2-1/2") return NoResult;
    if (int(moves.size()) < MinPly) return TooShort;
    if (whiteElo < MinElo && blackElo < MinElo) return LowElo;
    return std::abs(whiteElo - blackElo) > MaxEloDelta ? EloApart : Used;
  }
};

// Tags and move tokens of every game; a game starts at its first tag after movetext.
std::vector<ScannedGame> scanGames(const std::string& text) {
  std::vector<ScannedGame> games;
  bool inMoves = true;
  for (std::string line : linesOf(text)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line[0] == '[') {
      if (inMoves) games.emplace_back();
      inMoves = false;
      const size_t open = line.find('"');
      const std::string value = open == std::string::npos
                                    ? ""
                                    : line.substr(open + 1, line.find('"', open + 1) - open - 1);
      if (line.rfind("[WhiteElo ", 0) == 0) games.back().whiteElo = atoi(value.c_str());
      if (line.rfind("[BlackElo ", 0) == 0) games.back().blackElo = atoi(value.c_str());
      if (line.rfind("[Result ", 0) == 0) games.back().result = value;
      continue;
    }
    inMoves = true;
    std::istringstream words(line);
    for (std::string word; words >> word;) {
      if (word == "1-0" || word == "0-1" || word == "1/2-1/2" || word == "*") continue;
      const size_t start = word.find_first_not_of("0123456789.");
      if (start != std::string::npos) games.back().moves.push_back(word.substr(start));
    }
  }
  return games;
}

TEST(BookMasterGames, CountsAndEveryPlyMatchAnIndependentScanAndPgnExtract) {
  const std::vector<ScannedGame> games = scanGames(readFile(dataPath("master-games.pgn")));
  ASSERT_EQ(games.size(), 400u);  // the whole committed file
  const std::string tool = findProgram("pgn-extract");
  ASSERT_NE(tool, "") << "pgn-extract not installed (scripts/test installs it)";
  TempDir dir;
  Process extract;
  ASSERT_TRUE(extract.start(tool, {"-s", "-Wuci", "--nomovenumbers", "--noresults", "-w", "100000",
                                   "-o", dir.file("uci.pgn"), dataPath("master-games.pgn")}));
  extract.readAll(60000);
  ASSERT_EQ(extract.wait(60000), 0);
  const std::vector<ScannedGame> exported = scanGames(readFile(dir.file("uci.pgn")));
  ASSERT_EQ(exported.size(), games.size());

  // Replay the exported coordinate moves of the games used and count every stored (position, move).
  struct Tally {
    uint32_t wins = 0, draws = 0, losses = 0;
    double ratingSum = 0;
  };
  std::map<std::tuple<uint64_t, int, int>, Tally> tally;
  int fates[5] = {}, stored = 0;
  for (const ScannedGame& g : exported) {
    fates[g.fate()]++;
    if (g.fate() != Used) continue;
    auto pos = positionFrom(InitialFen);
    const double share =
        std::pow(2.0, (g.whiteElo - 2400) / 70.0) + std::pow(2.0, (g.blackElo - 2400) / 70.0);
    for (int ply = 0; ply < std::min(int(g.moves.size()), MaxPly); ply++, stored++) {
      const std::string& uci = g.moves[ply];
      if (uci.size() == 5 && uci[4] != 'q') break;  // an underpromotion ends what a book stores
      const Move m = parseMove(*pos, uci.c_str());
      ASSERT_NE(m, 0u) << uci;
      Tally& t = tally[{bookKey(*pos), moveFrom(m), moveTo(m)}];
      const bool whiteMoved = ply % 2 == 0;
      const bool drawn = g.result == "1/2-1/2", won = !drawn && (g.result == "1-0") == whiteMoved;
      (drawn ? t.draws : won ? t.wins : t.losses)++;
      t.ratingSum += drawn ? share / 2 : won ? share : 0;
      playMoves(*pos, {uci});
    }
  }
  EXPECT_GT(fates[Used], 100);  // the criteria keep a good share of the games
  int rare = 0;
  for (const auto& [k, t] : tally) rare += t.wins + t.draws + t.losses < uint32_t(MinGames);

  auto pos = positionFrom(InitialFen);
  auto table = std::make_unique<BookTable>(pos.get());
  RcString bookName(dir.file("master.mvk").c_str());
  bool built = false;
  const std::string output = captureStdout([&] {
    built = buildBook(*table, bookName, sourcePath("tests/book/data/master-criteria.ini").c_str(),
                      dataPath("master-games.pgn").c_str(), 0);
  });
  ASSERT_TRUE(built) << output;
  EXPECT_EQ(table->counts.gamesRead, 400);
  EXPECT_EQ(table->counts.errors, 0);
  const BookBuildCounts& c = table->counts;
  const int counted[5] = {c.noResult, c.minPlyDrops, c.minEloDrops, c.maxEloDrops, c.gamesUsed};
  for (int fate = 0; fate < 5; fate++) EXPECT_EQ(counted[fate], fates[fate]) << fate;
  EXPECT_EQ(table->counts.movesStored, stored);
  EXPECT_EQ(table->counts.minGamesDrops, rare);
  EXPECT_EQ(table->counts.slotsInUse + rare, tally.size());  // the moves kept, each once

  BookReader reader;
  ASSERT_TRUE(reader.open(bookName.c_str()));
  int checked = 0;
  for (const auto& [k, t] : tally) {
    if (t.wins + t.draws + t.losses < uint32_t(MinGames)) continue;
    const auto [key, from, to] = k;
    ASSERT_TRUE(reader.findPosition(key));
    BookEntry e;
    uint64_t at;
    int found = 0;
    while (readBookKey(reader.file, at) && at == key &&
           readBookRecord(e, reader.file, reader.header.flags)) {
      if ((e.from & 0x7F) != from || e.to != to) continue;
      found++;
      EXPECT_EQ(e.wins, t.wins);
      EXPECT_EQ(e.draws, t.draws);
      EXPECT_EQ(e.losses, t.losses);
      // The rating code keeps the sum to within half a step of 70 Elo per doubling.
      EXPECT_NEAR(e.ratingSum, t.ratingSum, t.ratingSum * 0.006 + 1e-6);
    }
    clearerr(reader.file);
    ASSERT_EQ(found, 1);
    checked++;
  }
  EXPECT_EQ(checked, int(tally.size()) - rare);
}

}  // namespace
