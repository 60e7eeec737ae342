// Pawn structure and the pawn hash: entries against a fresh computation, what the side records
// say about the pawns, and the pawn terms that point the right way.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "eval/evaluator.h"
#include "support/paths.h"
#include "support/positions.h"

namespace {

struct PawnScores {
  int mg = 0, eg = 0;
  PawnSide record{};
};

PawnScores structureOf(const std::string& fen, int side) {
  PawnScores s;
  pawnStructure(*positionFrom(fen), side, s.record, s.mg, s.eg);
  return s;
}

// An entry is shared by every position with the same pawns: whichever of them filled it, it must
// read as if computed for the one probing now (otherwise a search's score depends on what the
// table saw before). Consecutive positions of a game mostly keep their pawns, so most probes
// below hit entries filled with other pieces on the board.
TEST(PawnHash, StoredEntryEqualsAFreshComputation) {
  auto start = positionFrom("4k3/8/8/8/8/8/8/4K2R w K - 0 1");  // no pawns: key 0
  auto eval = std::make_unique<Evaluator>(*start);
  eval->probePawnHash();
  eval->probePawnHash();
  EXPECT_EQ(eval->pawnHash().misses, 1u);  // the key 0 does not match an empty entry...
  EXPECT_EQ(eval->pawnHash().hits, 1u);    // ...but its own
  std::vector<std::string> fens = randomPlayFens(4, 60, 7);
  for (const std::string& fen : gameFens(dataPath("master-games.pgn"), 40, 1)) fens.push_back(fen);
  ASSERT_GT(fens.size(), 2000u);
  for (const std::string& fen : fens) {
    auto pos = positionFrom(fen);
    eval->attach(*pos);
    const PawnEntry& stored = eval->probePawnHash();
    PawnEntry fresh{};
    fillPawnEntry(fresh, *pos);
    ASSERT_EQ(std::memcmp(&stored, &fresh, offsetof(PawnEntry, unused)), 0) << fen;
  }
  EXPECT_GT(eval->pawnHash().hits, fens.size() / 2);

  PawnHash small;
  resizePawnHash(small, 1000);
  EXPECT_EQ(small.size(), 512u);  // the power of two below
  EXPECT_EQ(small.slot(0).check, 1u);
}

TEST(PawnStructure, SideRecordsNameThePassersOpenFilesAndLightPawns) {
  const PawnScores connected = structureOf("4k3/8/8/3PP3/8/8/8/4K3 w - - 0 1", White);
  EXPECT_EQ(connected.record.passerCount, 2);
  EXPECT_EQ(connected.record.passerFiles, 0x18);
  EXPECT_EQ(connected.record.openFiles, uint8_t(~0x18));
  EXPECT_EQ(connected.record.lightPawns, 1);  // d5 is light, e5 dark
  // d4 is held back by c6 and e7: no passer; c3 is one.
  const PawnScores held = structureOf("4k3/4p3/2p5/8/3P4/2P5/8/4K3 w - - 0 1", White);
  EXPECT_EQ(held.record.passerCount, 0);
  const PawnScores free = structureOf("4k3/4p3/8/8/3P4/2P5/8/4K3 w - - 0 1", White);
  ASSERT_EQ(free.record.passerCount, 1);
  EXPECT_EQ(free.record.passers[0], 0x22);
  // Doubled pawns score below the same two pawns side by side in a chain.
  const PawnScores doubled = structureOf("4k3/4p3/8/8/3P4/3P4/8/4K3 w - - 0 1", White);
  const PawnScores chain = structureOf("4k3/4p3/8/8/3P4/4P3/8/4K3 w - - 0 1", White);
  EXPECT_LT(doubled.mg, chain.mg);
  EXPECT_LT(doubled.eg, chain.eg);
  // Shelter falls with a pawn gone in front of the king; storm rises with an enemy pawn there.
  PawnEntry intact{}, broken{}, stormed{};
  fillPawnEntry(intact, *positionFrom("6k1/5ppp/8/8/8/8/5PPP/6K1 w - - 0 1"));
  fillPawnEntry(broken, *positionFrom("6k1/5ppp/8/8/8/8/5P1P/6K1 w - - 0 1"));
  fillPawnEntry(stormed, *positionFrom("6k1/5pp1/8/8/8/6p1/5PPP/6K1 w - - 0 1"));
  EXPECT_GT(intact.side[White].shelter[2], broken.side[White].shelter[2]);
  EXPECT_EQ(intact.side[White].storm[2], 0);
  EXPECT_GT(stormed.side[White].storm[2], 0);
}

int term(const std::string& fen, bool race) {
  auto pos = positionFrom(fen);
  auto eval = std::make_unique<Evaluator>(*pos);
  eval->probePawnHash();
  return race ? eval->pawnRace() : eval->passedPawnTerm(White);
}

TEST(PassedPawns, BetterPassersScoreMore) {
  const struct {
    const char* better;
    const char* worse;
  } pairs[] = {
      // A safe promotion against a guarded queening square; with the own king escorting it.
      {"4k3/P7/8/8/8/8/7r/4K3 w - - 0 1", "7r/P7/4k3/8/8/8/8/4K3 w - - 0 1"},
      {"7r/P7/1K2k3/8/8/8/8/8 w - - 0 1", "7r/P7/4k3/8/8/8/8/4K3 w - - 0 1"},
      // Two files away on the pawn's rank the king escorts it only with the move.
      {"7r/P1K5/4k3/8/8/8/8/8 w - - 0 1", "7r/P1K5/4k3/8/8/8/8/8 b - - 0 1"},
      // Free against blocked; an own rook behind against none, and none against an enemy one.
      {"3k4/8/8/3P4/8/8/8/3K4 w - - 0 1", "3k4/8/3n4/3P4/8/8/8/3K4 w - - 0 1"},
      {"3k4/8/8/3P4/8/8/8/3RK3 w - - 0 1", "3k4/8/8/3P4/8/8/8/4K3 w - - 0 1"},
      {"3k4/8/8/3P4/8/8/8/4K3 w - - 0 1", "3k4/8/8/3P4/8/8/8/3r2K1 w - - 0 1"},
  };
  for (const auto& p : pairs) EXPECT_GT(term(p.better, false), term(p.worse, false)) << p.better;
}

TEST(PassedPawns, TheRuleOfTheSquareDecidesARace) {
  const struct {
    const char* fen;
    int sign;  // White's view
  } cases[] = {
      {"8/8/8/P7/4k3/8/8/K7 w - - 0 1", 1},   // the king is outside the square
      {"8/8/8/P7/4k3/8/8/K7 b - - 0 1", 0},   // with the move it steps in
      {"8/8/8/8/8/8/P6k/K7 b - - 0 1", 1},    // the double step counts
      {"k7/8/8/4K3/p7/8/8/8 b - - 0 1", -1},  // Black's passer
      {"8/8/8/P7/4k3/8/n7/K6N w - - 0 1", 0}, // pieces on both sides: no race
      {"8/8/8/P6k/K6p/8/8/8 w - - 0 1", 0},   // both queen
  };
  for (const auto& c : cases) {
    const int race = term(c.fen, true);
    EXPECT_EQ((race > 0) - (race < 0), c.sign) << c.fen << ": " << race;
  }
}

}  // namespace
