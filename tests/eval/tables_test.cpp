// Checks of the evaluation tables that catch typos: the chess ideas behind them are the same on
// both wings, and the king-attack tables built from rules must behave as the rules say.
#include "eval/eval_tables.h"

#include <gtest/gtest.h>

namespace {

TEST(EvalTables, SquareTablesReadTheSameFromBothWingsAndPawnsSkipTheBackRanks) {
  const SquareTable* tables[] = {
      &kingSquareTable, &kingDanger,      &knightSquareTable, &knightBehindPawn,
      &knightPawnAhead, &bishopSquareTable, &queenSquareMg,   &queenSquareEg,
      &shelterTable[1], &stormTable[1],   &pawnSquareMg,      &pawnSquareEg,
      &passedMg,        &passedEg,        &isolatedMg,        &isolatedEg,
      &doubledMg,       &doubledEg,       &backwardMg,        &backwardEg,
      &pawnChainBonus};
  const int firstPawnTable = 10;
  for (int row = 0; row < 8; ++row)
    for (int file = 0; file < 8; ++file) {
      for (int t = 0; t < int(std::size(tables)); t++) {
        EXPECT_EQ((*tables[t])[row][file], (*tables[t])[row][7 - file]) << t << " " << row << file;
        const bool backRank = row == 0 || row == 7;
        EXPECT_FALSE(t >= firstPawnTable && backRank && (*tables[t])[row][file] != 0) << t;
      }
      // The king's three zones: the queen side is the king side mirrored.
      EXPECT_EQ(shelterTable[0][row][file], shelterTable[2][row][7 - file]) << row << file;
      EXPECT_EQ(stormTable[0][row][file], stormTable[2][row][7 - file]) << row << file;
    }
}

int at(const int8_t* table, int dr, int df) { return table[dr * 16 + df + 120]; }

// Rank and file parts of a step of the king-attack walks.
std::pair<int, int> parts(int step) {
  const int rank = (step + 8) >> 4;
  return {rank, step - 16 * rank};
}

TEST(EvalTables, KingAttackTablesAreMirrorSymmetricAndEveryWalkArrives) {
  const KingAttackTables& t = kingAttack;
  for (int dr = -7; dr <= 7; ++dr)
    for (int df = -7; df <= 7; ++df) {
      for (const int8_t* table : {t.knightTropism, t.bishopLine, t.rookLine, t.queenLine}) {
        EXPECT_EQ(at(table, dr, df), at(table, -dr, df));
        EXPECT_EQ(at(table, dr, df), at(table, dr, -df));
      }
      // Steps mirror with the geometry: flipping the file difference flips the file part.
      for (const int8_t* table : {t.bishopStep, t.rookStep, t.queenStep}) {
        const auto [sr, sf] = parts(at(table, dr, df));
        const auto [mr, mf] = parts(at(table, dr, -df));
        EXPECT_EQ(sr, mr) << dr << " " << df;
        EXPECT_EQ(sf, -mf) << dr << " " << df;
      }
    }
  // Every walk a step table starts, followed on an empty board toward the king, reaches a
  // square of its line table (where the attack is counted) without passing the king.
  const int8_t* walks[3][3] = {{t.bishopStep, t.bishopLine, t.bishopLine},
                               {t.rookStep, t.rookLine, t.rookLine},
                               {t.queenStep, t.rookLine, t.queenLine}};
  for (const auto& [step, line, direct] : walks)
    for (int dr = -7; dr <= 7; ++dr)
      for (int df = -7; df <= 7; ++df) {
        if (at(step, dr, df) == 0) continue;
        EXPECT_EQ(at(direct, dr, df), 0) << "a walk where the direct table already counts";
        const auto [sr, sf] = parts(at(step, dr, df));
        int r = dr, f = df;
        for (int moves = 0; at(line, r, f) == 0 && moves < 8; ++moves) {
          r -= sr;
          f -= sf;
          ASSERT_FALSE(r == 0 && f == 0) << "the walk from " << dr << "," << df << " passes the king";
          ASSERT_TRUE(r >= -7 && r <= 7 && f >= -7 && f <= 7);
        }
        EXPECT_NE(at(line, r, f), 0) << "the walk from " << dr << "," << df << " never arrives";
      }
}

}  // namespace
