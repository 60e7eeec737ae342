// Pawn structure and the pawn hash: entry layout and probing, the static pawn terms, shelter and
// storm, the dynamic passed-pawn term and the pawn race.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "eval/eval_test_util.h"
#include "eval/evaluator.h"
#include "support/paths.h"

namespace {

struct PawnScores {
  int mg, eg;
  PawnSide record;
};

PawnScores structureOf(const std::string& fen, int side) {
  Position& pos = positionFrom(fen);
  PawnScores s{};
  pawnStructure(pos, side, s.record, s.mg, s.eg);
  return s;
}

TEST(PawnHash, FreshTableMissesThePawnlessKeyThenHits) {
  Position& pos = positionFrom("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
  ASSERT_EQ(pos.pawnKey, 0u);
  auto eval = std::make_unique<Evaluator>(pos);
  EXPECT_EQ(eval->pawnHash().size(), 65536u);
  eval->probePawnHash();
  EXPECT_EQ(eval->pawnHash().misses, 1u);
  EXPECT_EQ(eval->pawnHash().hits, 0u);
  const PawnEntry& entry = eval->probePawnHash();
  EXPECT_EQ(eval->pawnHash().misses, 1u);
  EXPECT_EQ(eval->pawnHash().hits, 1u);
  EXPECT_EQ(entry.mg, 0);
  EXPECT_EQ(entry.eg, 0);
  EXPECT_EQ(entry.side[White].openFiles, 0xFF);
  EXPECT_EQ(entry.side[Black].passerCount, 0);
}

// An entry is shared by every position with the same pawns: whichever of them filled it, it must
// read as if computed for the one probing now (otherwise a search's score depends on what the
// table saw before). Consecutive positions of a game mostly keep their pawns, so most probes
// below hit entries filled with other pieces on the board.
TEST(PawnHash, StoredEntryEqualsAFreshComputation) {
  auto eval = std::make_unique<Evaluator>(positionFrom(InitialFen));
  std::vector<std::string> fens = randomPlayFens(4, 60, 7);
  for (const std::string& fen : gameFens(dataPath("master-games.pgn"), 40, 1)) fens.push_back(fen);
  for (const std::string& fen : fens) {
    Position& pos = positionFrom(fen);
    eval->attach(pos);
    const PawnEntry& stored = eval->probePawnHash();
    PawnEntry fresh{};
    fillPawnEntry(fresh, pos);
    ASSERT_EQ(std::memcmp(&stored, &fresh, offsetof(PawnEntry, unused)), 0) << fen;
    EXPECT_EQ(&eval->pawnEntry(), &stored);
  }
  EXPECT_GT(eval->pawnHash().hits, fens.size() / 2);
}

TEST(PawnHash, ResizeTakesThePowerOfTwoBelowAndGuardsEntryZero) {
  PawnHash hash;
  resizePawnHash(hash, 1000);
  EXPECT_EQ(hash.size(), 512u);
  EXPECT_EQ(hash.slot(0).check, 1u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(&hash.slot(0)) % 256, 0u);
  resizePawnHash(hash, 1);
  EXPECT_EQ(hash.size(), 1u);
  EXPECT_EQ(hash.slot(0x12345678).check, 1u);
  EXPECT_EQ(&hash.slot(0x12345678), &hash.slot(0));
}

TEST(PawnStructure, IsolatedPawnOnAnOpenFile) {
  // d4 alone: square value 24/2, isolated -10/-12, and nothing ahead on its file -16/-12.
  const PawnScores s = structureOf("4k3/8/2p5/8/3P4/8/8/4K3 w - - 0 1", White);
  EXPECT_EQ(s.mg, 24 - 10 - 16);
  EXPECT_EQ(s.eg, 2 - 12 - 12);
  EXPECT_EQ(s.record.passerCount, 0);
}

TEST(PawnStructure, OnlyTheFrontPawnOfTwoIsDoubledAndNotWhenDefended) {
  // d4 (front): 24/2, doubled -5/-20 and -10 for the open file, isolated -10/-12 and -16/-12.
  // d3 (rear): 20/1, isolated -10/-16, nothing more: it has a pawn ahead.
  const PawnScores doubled = structureOf("4k3/4p3/8/8/3P4/3P4/8/4K3 w - - 0 1", White);
  EXPECT_EQ(doubled.mg, (24 - 5 - 10 - 10 - 16) + (20 - 10));
  EXPECT_EQ(doubled.eg, (2 - 20 - 12 - 12) + (1 - 16));
  // With c3 the front pawn is defended: not doubled but a candidate (one sentry e7, one
  // supporter c3). d3 is backward; c3 is a passer beside d3.
  const PawnScores defended = structureOf("4k3/4p3/8/8/3P4/2PP4/8/4K3 w - - 0 1", White);
  EXPECT_EQ(defended.mg, (24 + 8) + (20 - 12 / 2) + (0 + 4));
  EXPECT_EQ(defended.eg, (2 + 8) + (1 - 20 / 2) + (-4 + 4));
  EXPECT_EQ(defended.record.passerCount, 1);
  EXPECT_EQ(defended.record.passers[0], 0x22);
}

TEST(PawnStructure, ConnectedPassersAndTheSideRecord) {
  // d5 and e5: square 20/3, passed 20/40, side by side +20/+32 each.
  const PawnScores s = structureOf("4k3/8/8/3PP3/8/8/8/4K3 w - - 0 1", White);
  EXPECT_EQ(s.mg, 2 * (20 + 20 + 20));
  EXPECT_EQ(s.eg, 2 * (3 + 40 + 32));
  EXPECT_EQ(s.record.passerCount, 2);
  EXPECT_EQ(s.record.passerFiles, 0x18);
  EXPECT_EQ(s.record.openFiles, uint8_t(~0x18));
  EXPECT_EQ(s.record.lightPawns, 1);  // d5 is light, e5 dark
  // The same pawns for Black, mirrored, give the same values.
  const PawnScores b = structureOf("4k3/8/8/8/3pp3/8/8/4K3 w - - 0 1", Black);
  EXPECT_EQ(b.mg, s.mg);
  EXPECT_EQ(b.eg, s.eg);
}

TEST(PawnStructure, ShelterAndStorm) {
  Position& start = positionFrom(InitialFen);
  PawnEntry entry{};
  fillPawnEntry(entry, start);
  for (int side : {White, Black}) {
    EXPECT_EQ(entry.side[side].shelter[0], 5 + 7 + 4);
    EXPECT_EQ(entry.side[side].shelter[1], 2 + 4 + 4 + 2);
    EXPECT_EQ(entry.side[side].shelter[2], 4 + 7 + 5);
    EXPECT_EQ(entry.side[side].storm[2], 0);
  }
  EXPECT_EQ(entry.mg, 0);
  EXPECT_EQ(entry.eg, 0);
  // A pawn on g3 in contact with the shelter: 3, plus 1 for the lever.
  fillPawnEntry(entry, positionFrom("6k1/8/8/8/8/6p1/5PPP/6K1 w - - 0 1"));
  EXPECT_EQ(entry.side[White].storm[2], 4);
  EXPECT_EQ(entry.side[White].storm[0], 0);
  EXPECT_EQ(entry.side[White].shelter[2], 4 + 7 + 5);
  // A blocked storm pawn on g4 without a neighbour to lever with: 2 - 1.
  fillPawnEntry(entry, positionFrom("6k1/8/8/8/6p1/6P1/5P1P/6K1 w - - 0 1"));
  EXPECT_EQ(entry.side[White].storm[2], 1);
}

int passedTerm(const std::string& fen, int side) {
  Position& pos = positionFrom(fen);
  auto eval = std::make_unique<Evaluator>(pos);
  eval->probePawnHash();
  return eval->passedPawnTerm(side);
}

TEST(PassedPawnTerm, SeventhRankPasser) {
  // Safe promotion against a lone rook: 230 and nothing else.
  EXPECT_EQ(passedTerm("4k3/P7/8/8/8/8/7r/4K3 w - - 0 1", White), 230);
  EXPECT_EQ(passedTerm("4k3/P7/8/8/8/8/7n/4K3 w - - 0 1", White), 70);
  EXPECT_EQ(passedTerm("4k3/P7/8/8/8/8/7q/4K3 w - - 0 1", White), 750);
  // The same for Black.
  EXPECT_EQ(passedTerm("4k3/7R/8/8/8/8/p7/4K3 b - - 0 1", Black), 230);
  // The rook guards a8: only the king terms, (4-2)*24 + (2-7)*12.
  EXPECT_EQ(passedTerm("7r/P7/4k3/8/8/8/8/4K3 w - - 0 1", White), 48 - 60);
  // The own king next to the pawn escorts it.
  EXPECT_EQ(passedTerm("7r/P7/1K2k3/8/8/8/8/8 w - - 0 1", White), 230);
  // Two files away on the pawn's rank it escorts it only with the move.
  EXPECT_EQ(passedTerm("7r/P1K5/4k3/8/8/8/8/8 w - - 0 1", White), 230);
  EXPECT_EQ(passedTerm("7r/P1K5/4k3/8/8/8/8/8 b - - 0 1", White), 48 + 0);
}

TEST(PassedPawnTerm, BlockersAndRooksBehind) {
  // d5 passer, free to advance: 6, enemy king d8 at distance 2 from d6: 0, own king d1 at
  // distance 5: (2-5)*8.
  EXPECT_EQ(passedTerm("3k4/8/8/3P4/8/8/8/3K4 w - - 0 1", White), 6 - 24);
  // Blocked by a knight: twice -6.
  EXPECT_EQ(passedTerm("3k4/8/3n4/3P4/8/8/8/3K4 w - - 0 1", White), 2 * -6 - 24);
  // An own rook behind it adds 15; an enemy rook behind it subtracts 15 and makes the push
  // unsafe (it attacks the square in front through the pawn).
  EXPECT_EQ(passedTerm("3k4/8/8/3P4/8/8/8/3RK3 w - - 0 1", White), 6 + (2 - 5) * 8 + 15);
  EXPECT_EQ(passedTerm("3k4/8/8/3P4/8/8/8/3r2K1 w - - 0 1", White), (2 - 5) * 8 - 15);
}

int race(const std::string& fen) {
  Position& pos = positionFrom(fen);
  auto eval = std::make_unique<Evaluator>(pos);
  eval->probePawnHash();
  return eval->pawnRace();
}

TEST(PawnRace, RuleOfTheSquare) {
  // a5 needs three moves; the king on e4 is four steps from a8: outside the square with White
  // to move, inside with Black to move.
  EXPECT_EQ(race("8/8/8/P7/4k3/8/8/K7 w - - 0 1"), 500 - 3 * 25);
  EXPECT_EQ(race("8/8/8/P7/4k3/8/8/K7 b - - 0 1"), 0);
  // From the start rank the double step counts: five moves against a king seven steps away.
  EXPECT_EQ(race("8/8/8/8/8/8/P6k/K7 b - - 0 1"), 500 - 5 * 25);
  // Black's passer, mirrored.
  EXPECT_EQ(race("k7/8/8/4K3/p7/8/8/8 b - - 0 1"), 3 * 25 - 500);
  // With pieces on both sides there is no race.
  EXPECT_EQ(race("8/8/8/P7/4k3/8/n7/K6N w - - 0 1"), 0);
  // Both queen, White one move earlier: not decisive.
  EXPECT_EQ(race("8/8/8/P6k/K6p/8/8/8 w - - 0 1"), 0);
}

}  // namespace
