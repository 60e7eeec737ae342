// Checks of the evaluation tables that catch typos: the chess ideas behind them are the same on
// both wings, and the king-attack tables built from rules must behave like the rules say.
#include <gtest/gtest.h>

#include "eval/eval_tables.h"

namespace {

void expectFileSymmetric(const SquareTable& table, const char* name) {
  for (int row = 0; row < 8; ++row)
    for (int file = 0; file < 4; ++file)
      EXPECT_EQ(table[row][file], table[row][7 - file]) << name << " row " << row << " file " << file;
}

TEST(EvalTables, SquareTablesReadTheSameFromBothWings) {
  expectFileSymmetric(kingSquareTable, "kingSquareTable");
  expectFileSymmetric(kingDanger, "kingDanger");
  expectFileSymmetric(knightSquareTable, "knightSquareTable");
  expectFileSymmetric(knightBehindPawn, "knightBehindPawn");
  expectFileSymmetric(knightPawnAhead, "knightPawnAhead");
  expectFileSymmetric(bishopSquareTable, "bishopSquareTable");
  expectFileSymmetric(queenSquareMg, "queenSquareMg");
  expectFileSymmetric(queenSquareEg, "queenSquareEg");
  expectFileSymmetric(pawnSquareMg, "pawnSquareMg");
  expectFileSymmetric(pawnSquareEg, "pawnSquareEg");
  expectFileSymmetric(passedMg, "passedMg");
  expectFileSymmetric(passedEg, "passedEg");
  expectFileSymmetric(isolatedMg, "isolatedMg");
  expectFileSymmetric(isolatedEg, "isolatedEg");
  expectFileSymmetric(doubledMg, "doubledMg");
  expectFileSymmetric(doubledEg, "doubledEg");
  expectFileSymmetric(backwardMg, "backwardMg");
  expectFileSymmetric(backwardEg, "backwardEg");
  expectFileSymmetric(pawnChainBonus, "pawnChainBonus");
  expectFileSymmetric(shelterTable[1], "shelterTable[1]");
  expectFileSymmetric(stormTable[1], "stormTable[1]");
  for (int row = 0; row < 8; ++row)
    for (int file = 0; file < 8; ++file) {
      EXPECT_EQ(shelterTable[0][row][file], shelterTable[2][row][7 - file]) << row << file;
      EXPECT_EQ(stormTable[0][row][file], stormTable[2][row][7 - file]) << row << file;
    }
}

TEST(EvalTables, PawnsNeverStandOnTheBackRanks) {
  for (const SquareTable* t : {&pawnSquareMg, &pawnSquareEg, &passedMg, &passedEg, &isolatedMg, &isolatedEg,
                               &doubledMg, &doubledEg, &backwardMg, &backwardEg, &pawnChainBonus})
    for (int file = 0; file < 8; ++file) {
      EXPECT_EQ((*t)[0][file], 0);
      EXPECT_EQ((*t)[7][file], 0);
    }
}

int at(const int8_t* table, int dr, int df) { return table[dr * 16 + df + 120]; }

TEST(EvalTables, KingAttackTablesAreMirrorSymmetric) {
  const KingAttackTables& t = kingAttack;
  for (int dr = -7; dr <= 7; ++dr)
    for (int df = -7; df <= 7; ++df) {
      for (const int8_t* table : {t.knightTropism, t.bishopLine, t.rookLine, t.queenLine}) {
        EXPECT_EQ(at(table, dr, df), at(table, -dr, df));
        EXPECT_EQ(at(table, dr, df), at(table, dr, -df));
      }
      // Steps mirror with the geometry: flipping the file difference flips the file part.
      for (const int8_t* table : {t.bishopStep, t.rookStep, t.queenStep}) {
        const int s = at(table, dr, df), m = at(table, dr, -df);
        const int sr = (s + 8) >> 4, sf = s - 16 * sr;  // rank and file parts of the step
        const int mr = (m + 8) >> 4, mf = m - 16 * mr;
        EXPECT_EQ(sr, mr) << dr << " " << df;
        EXPECT_EQ(sf, -mf) << dr << " " << df;
      }
    }
  EXPECT_EQ(at(t.knightTropism, 0, 0), 0);
  EXPECT_EQ(at(t.knightTropism, 0, 2), 6);
  EXPECT_EQ(at(t.knightTropism, 3, 0), 8);
  EXPECT_EQ(at(t.knightTropism, 5, 1), 4);
  EXPECT_EQ(at(t.knightTropism, 5, 0), 0);
  EXPECT_EQ(at(t.rookLine, 2, 2), 6);
  EXPECT_EQ(at(t.bishopLine, 2, 1), 0);
}

// Every walk a step table starts, followed on an empty board toward the king, must reach a
// square of its line table (where the attack is counted) without passing the king.
TEST(EvalTables, EveryWalkReachesTheKingsArea) {
  const KingAttackTables& t = kingAttack;
  struct Walk {
    const int8_t* step;
    const int8_t* line;
    const int8_t* direct;
  };
  for (const Walk& w : {Walk{t.bishopStep, t.bishopLine, t.bishopLine}, Walk{t.rookStep, t.rookLine, t.rookLine},
                        Walk{t.queenStep, t.rookLine, t.queenLine}}) {
    for (int dr = -7; dr <= 7; ++dr)
      for (int df = -7; df <= 7; ++df) {
        const int step = at(w.step, dr, df);
        if (step == 0) continue;
        EXPECT_EQ(at(w.direct, dr, df), 0) << "walk where the direct table already counts";
        // The walk moves the attacker toward the king: the remaining difference shrinks.
        int r = dr, f = df, moves = 0;
        const int sr = (step + 8) >> 4, sf = step - 16 * sr;
        while (at(w.line, r, f) == 0 && moves < 8) {
          r -= sr;
          f -= sf;
          ++moves;
          ASSERT_FALSE(r == 0 && f == 0) << "walk passes the king from " << dr << "," << df;
          ASSERT_TRUE(r >= -7 && r <= 7 && f >= -7 && f <= 7);
        }
        EXPECT_NE(at(w.line, r, f), 0) << "walk from " << dr << "," << df << " never arrives";
      }
  }
}

}  // namespace
