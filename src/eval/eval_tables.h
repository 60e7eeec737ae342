#pragma once
// Every number the evaluation uses, in one place.
//
// Square tables are written as eight rows of eight files (a..h) of the *relative* board: a
// side's squares are seen with the rank mirrored for White, so that row 0 is the opponent's back
// rank and row 7 the side's own back rank (for pawns: row 1 is the rank before promotion and
// row 6 the start rank). A row reads left to right as files a..h, exactly as a diagram does.
// Tables indexed by a count or a rank are one line each, index 0 first.
//
// Every number that is a value of the score lives here. The numbers left in the evaluation's
// code are rules (how much material makes a king attack count, which squares trap a piece, how
// far a king stands from a pawn) and the units of fractions (scales out of 1024, the phase blends
// out of 32 and 64).
#include <algorithm>
#include <cstdint>

#include "eval/eval_build.h"
#ifdef MELVOK_EVAL_TRACE
#include "eval/traced_score.h"
#endif

MELVOK_EVAL_BEGIN

using SquareTable = int16_t[8][8];

// The weights are constants of the engine, and its scores plain numbers. The tuning tools'
// build leaves the weights writable and makes every score a traced one; all weight reads go
// through weight(), at() and tableAt(), which tell the trace which weight is read.
#ifdef MELVOK_EVAL_TRACE
#define EVAL_WEIGHT inline
#define EVAL_DATA
using Score = TracedScore;
using ScalarWeight = TracedWeight;
inline int valueOf(const TracedScore& score) { return score.value(); }
template <int N>
inline Score weight(const int16_t (&table)[N], int i) {
  return TracedScore::ofWeight(table[i], &table[i]);
}
inline Score tableAt(const SquareTable& table, int relativeSquare) {
  const int16_t& entry = table[relativeSquare >> 4][relativeSquare & 7];
  return TracedScore::ofWeight(entry, &entry);
}
#else
#define EVAL_WEIGHT inline constexpr
#define EVAL_DATA const
using Score = int;
using ScalarWeight = int;
inline int valueOf(int score) { return score; }
template <int N>
inline int weight(const int16_t (&table)[N], int i) {
  return table[i];
}
// Value of a table at a relative 0x88 square.
inline int tableAt(const SquareTable& table, int relativeSquare) {
  return table[relativeSquare >> 4][relativeSquare & 7];
}
#endif

// An entry of a table indexed by a count, the count limited to the table (counts beyond it are
// reached only by odd promotions).
template <int N>
inline Score at(const int16_t (&table)[N], int i) {
  return weight(table, std::clamp(i, 0, N - 1));
}

// Relative square of `sq` for `side`: the rank is mirrored for White.
constexpr int relativeSquare(int side, int sq) { return side == 0 ? sq ^ 0x70 : sq; }

// ---------------------------------------------------------------------------------------------
// Material.
// ---------------------------------------------------------------------------------------------

EVAL_WEIGHT ScalarWeight PawnValue = 100;
EVAL_WEIGHT ScalarWeight KnightValue = 300;
EVAL_WEIGHT ScalarWeight BishopValue = 300;
EVAL_WEIGHT ScalarWeight RookValue = 500;
EVAL_WEIGHT ScalarWeight QueenValue = 1000;

// ---------------------------------------------------------------------------------------------
// Material imbalance. Pawn-indexed tables run 0..8, the others by major-piece weight
// min(7, rooks + 3 * queens) 0..7.
// ---------------------------------------------------------------------------------------------

// Rooks lose a little with many pawns on the board (fewer open files).
EVAL_WEIGHT int16_t rookByPawns[9] = {0, 0, 0, 0, 0, -5, -10, -15, -20};
// Bishops are best in open positions, knights in closed ones.
EVAL_WEIGHT int16_t bishopByPawns[9] = {24, 22, 20, 18, 17, 16, 15, 14, 12};
EVAL_WEIGHT int16_t knightByPawns[9] = {5, 7, 9, 10, 11, 12, 15, 15, 15};

EVAL_WEIGHT int16_t extraBishop[8] = {35, 43, 47, 31, 31, 39, 0, 0};
EVAL_WEIGHT int16_t bishopVsKnightA[8] = {35, 47, 52, 35, 40, 45, 0, 0};
EVAL_WEIGHT int16_t bishopVsKnightB[8] = {-8, -3, 6, -8, 4, 12, 0, 0};
EVAL_WEIGHT int16_t bishopPairVsNone[8] = {25, 47, 56, 33, 40, 62, 0, 0};
EVAL_WEIGHT int16_t loneBishopVsNone[8] = {-21, -7, -10, -19, -6, -2, 0, 0};
EVAL_WEIGHT int16_t twoMinorsVsRook[8] = {7, 62, 0, 51, 68, 0, 0, 0};
EVAL_WEIGHT int16_t minorVsRookC[8] = {0, 32, -2, 0, -3, -21, 0, 0};
EVAL_WEIGHT int16_t minorVsRookD[8] = {0, 41, -4, 0, 17, -16, 0, 0};
EVAL_WEIGHT int16_t minorVsRookA[8] = {0, 46, 7, 0, 37, 18, 0, 0};
EVAL_WEIGHT int16_t minorVsRookB[8] = {0, 62, -4, 0, 45, 20, 0, 0};
EVAL_WEIGHT int16_t queenVsRook[8] = {2, -40, 0, 0, 0, 0, 0, 0};
EVAL_WEIGHT int16_t queenVsRookPawns[9] = {-50, -20, 5, 15, 20, 0, -20, 0, 0};
EVAL_WEIGHT int16_t queenVsTwoRooks[8] = {0, 8, 10, 10, 10, 0, 0, 0};
EVAL_WEIGHT int16_t minorUpB[8] = {69, 47, 39, 67, 39, 55, 0, 0};
EVAL_WEIGHT int16_t minorUpA[8] = {42, 34, 19, 40, 42, 42, 0, 0};
// Out of 1024: an imbalance matters most when the side ahead keeps a few pawns.
EVAL_WEIGHT int16_t imbalanceByPawns[9] = {700, 1100, 1200, 1250, 1200, 1150, 1100, 1050, 975};
// Three minor pieces against a queen (same rooks) are worth more than their units say.
EVAL_WEIGHT ScalarWeight ThreeMinorsVsQueen = 92;
// The imbalance grows by this much (out of 1024) for every unit of pieces the side ahead has
// below 16: in a thinner position the extra piece weighs more.
EVAL_WEIGHT ScalarWeight ImbalancePerUnit = 6;

// ---------------------------------------------------------------------------------------------
// Draw scaling (out of 1024).
// ---------------------------------------------------------------------------------------------

// Queen endings with equal pawns: few pawns mean perpetual check chances. By pawns per side.
EVAL_WEIGHT int16_t queenEndingScale[9] = {512, 512, 768, 896, 1024, 1024, 1024, 1024, 1024};
// Rook endings (one rook each, pawns within one): by total pawns 0..16.
EVAL_WEIGHT int16_t rookEndingScale[17] = {100,  700,  512,  800,  800, 900, 900, 1024, 1024,
                                           1024, 1024, 1024, 1024, 900, 900, 800, 800};
EVAL_WEIGHT ScalarWeight DrawishScale = 64;    // hardly any winning material left
EVAL_WEIGHT ScalarWeight LonePawnScale = 128;  // one pawn against a minor that can give itself up
EVAL_WEIGHT ScalarWeight SameBishopsScale = 256;  // two bishops on one colour cannot force mate
// Opposite-coloured bishops: 412 + 16 per pawn on the board.
EVAL_WEIGHT ScalarWeight OppositeBishopsBase = 412;
EVAL_WEIGHT ScalarWeight OppositeBishopsPerPawn = 16;
EVAL_WEIGHT ScalarWeight TempoBonus = 6;

// ---------------------------------------------------------------------------------------------
// King safety.
// ---------------------------------------------------------------------------------------------

// By file distance from the king to the nearest file holding own (enemy) pawns.
EVAL_WEIGHT int16_t kingPawnSpan[8] = {0, 4, 16, 20, 24, 28, 32, 36};
EVAL_WEIGHT int16_t kingFileDistance[8] = {0, 2, 8, 10, 12, 14, 16, 18};
// Final scaling of the king term in the ending.
EVAL_WEIGHT int16_t kingScaleByPawns[9] = {8, 12, 16, 20, 24, 24, 24, 24, 24};
EVAL_WEIGHT int16_t kingScaleByUnits[34] = {24, 16, 16, 24, 16, 16, 24, 16, 16, 16, 12, 12,
                                            12, 8,  8,  8,  8,  12, 16, 20, 24, 24, 24, 24,
                                            24, 16, 16, 16, 16, 16, 16, 16, 0,  0};
// Attack danger thresholds: every threshold the danger exceeds adds the excess again.
EVAL_WEIGHT int16_t kingDangerThresholds[8] = {8, 16, 24, 32, 48, 64, 80, 96};
// The danger: the square's base danger plus a quarter of the attackers' potential, raised by a
// weak shelter (by (KingShelterBase + storm - shelter) / 16) and by the attackers' move.
EVAL_WEIGHT ScalarWeight KingShelterBase = 16;
EVAL_WEIGHT ScalarWeight KingDangerToMove = 4;
// The penalty: the summed excess over the thresholds, times this out of 32 (with full attacking
// material).
EVAL_WEIGHT ScalarWeight KingDangerWeight = 12;

// The attack potential of the pieces against the king: each piece's weight times how near its
// line (its walk toward the king) comes to the king's area, less what stands in the way.
EVAL_WEIGHT ScalarWeight KingAttackKnight = 3;
EVAL_WEIGHT ScalarWeight KingAttackBishop = 3;
EVAL_WEIGHT ScalarWeight KingAttackRook = 4;
EVAL_WEIGHT ScalarWeight KingAttackQueen = 8;
// The value of a walk's last square: more when the line runs straight at the king, when a queen
// ends on an empty square, when a bishop's last square is not held by another bishop (a bishop
// there blocks its partner); less when a rook ends on another rook.
EVAL_WEIGHT ScalarWeight WalkStraight = 4;
EVAL_WEIGHT ScalarWeight WalkQueenEmptyEnd = 2;
EVAL_WEIGHT ScalarWeight WalkBishopEndFree = 4;
EVAL_WEIGHT ScalarWeight WalkRookEndOnRook = -4;
// What a walk pays for the pieces in the way. The attacker's own: a pawn on a bishop's diagonal
// (it must advance first, and cannot when blocked), a piece on it, a pawn on a rook's or queen's
// line, the extra cost of such a pawn that must advance to a lever, a piece on a rook's or
// queen's line, and a rook or queen behind it (a battery: it helps).
EVAL_WEIGHT ScalarWeight WalkOwnPawnOnDiagonal = 4;
EVAL_WEIGHT ScalarWeight WalkOwnPieceOnDiagonal = 2;
EVAL_WEIGHT ScalarWeight WalkOwnPawnOnLine = 2;
EVAL_WEIGHT ScalarWeight WalkPawnToLever = 4;
EVAL_WEIGHT ScalarWeight WalkOwnPieceOnLine = 2;
EVAL_WEIGHT ScalarWeight WalkBattery = -4;
// The defender's: any piece, more for a bishop on a bishop's diagonal, a pawn on a rook's line
// and a rook on a rook's line; every defender pawn guarding the square costs more again. A
// queen's walk pays its own amounts.
EVAL_WEIGHT ScalarWeight WalkEnemyPiece = 2;
EVAL_WEIGHT ScalarWeight WalkEnemyBishopOnDiagonal = 2;
EVAL_WEIGHT ScalarWeight WalkEnemyPawnOnLine = 2;
EVAL_WEIGHT ScalarWeight WalkEnemyRookOnLine = 2;
EVAL_WEIGHT ScalarWeight WalkGuardingPawn = 2;
EVAL_WEIGHT ScalarWeight WalkQueenEnemyPiece = 3;
EVAL_WEIGHT ScalarWeight WalkQueenGuardingPawn = 4;

// With heavy material about: a penalty of KingShieldWeight * (KingShieldBase - shield) / 32 per
// unit of the opponent's pieces, the shield being shelter less storm, and the better of that and
// a shelter the king can still castle behind. A bishop right in front of the king shields it; to
// castle costs time, and more for every piece still between king and rook.
EVAL_WEIGHT ScalarWeight KingShieldWeight = 8;
EVAL_WEIGHT ScalarWeight KingShieldBase = 16;
EVAL_WEIGHT ScalarWeight ShieldBishopInFront = 2;
EVAL_WEIGHT ScalarWeight CastlingShieldCost = 2;
EVAL_WEIGHT ScalarWeight CastlingPathPiece = 1;

// The king wants the centre in the ending and its own back rank while pieces are about.
EVAL_WEIGHT SquareTable kingSquareTable = {
    {-20, -12, -12, -8, -8, -12, -12, -20},  // row 0: opponent's back rank
    {-20, -8, 2, 6, 6, 2, -8, -20},           {-8, 0, 16, 22, 22, 16, 0, -8},
    {-8, 0, 24, 32, 32, 24, 0, -8},           {-8, 0, 16, 22, 22, 16, 0, -8},  // as row 2
    {-20, -8, 2, 6, 6, 2, -8, -20},                                            // as row 1
    {-20, -12, -12, -8, -8, -12, -12, -20},                                    // as row 0
    {-32, -24, -24, -24, -24, -24, -24, -32},  // row 7: own back rank
};
// Base danger of the king's square: high anywhere in front of its own camp.
EVAL_WEIGHT SquareTable kingDanger = {
    {9, 9, 9, 9, 9, 9, 9, 9}, {9, 9, 9, 9, 9, 9, 9, 9}, {9, 9, 9, 9, 9, 9, 9, 9},
    {9, 9, 9, 9, 9, 9, 9, 9}, {8, 9, 9, 9, 9, 9, 9, 8}, {4, 5, 6, 7, 7, 6, 5, 4},
    {1, 1, 4, 6, 6, 4, 1, 1}, {1, 0, 4, 4, 4, 4, 0, 1},
};

// Attack tables indexed by (king square - attacker square) + 120. They are defined by rules on
// the rank difference dr and file difference df (king minus attacker) and built from those
// rules, so that each rule can be read once instead of 240 numbers.
struct KingAttackTables {
  int8_t knightTropism[240];  // how close a knight stands to the king
  int8_t bishopLine[240];     // bishop right next to the king's area
  int8_t rookLine[240];       // rook (or a queen's walk) right next to the king's area
  int8_t queenLine[240];      // queen within two squares of the king
  int8_t bishopStep[240];     // step to walk a bishop's diagonal toward the king; 0 no walk
  int8_t rookStep[240];
  int8_t queenStep[240];
  // Steps from the attacker to the first square of its walk that lies next to the king's area
  // (nonzero in bishopLine for bishops, in rookLine for rooks and queens); 0 when there is none.
  int8_t bishopWalk[240];
  int8_t rookWalk[240];
  int8_t queenWalk[240];
};
extern const KingAttackTables kingAttack;
inline int kingAttackIndex(int kingSq, int attackerSq) { return kingSq - attackerSq + 120; }

// Pawn shelter in front of a king in zone 0 (files a..c), 1 (c..f), 2 (f..h), by the pawn's
// relative square, and the storm value of an enemy pawn against that zone by the storming pawn's
// own relative square (row 1 = one step before promotion, i.e. next to the defender's king).
extern EVAL_DATA SquareTable shelterTable[3];
extern EVAL_DATA SquareTable stormTable[3];
inline int kingZoneOfFile(int file) { return file <= 2 ? 0 : file <= 4 ? 1 : 2; }

// ---------------------------------------------------------------------------------------------
// Pieces. Mobility tables are indexed by the number of reachable empty squares, attack tables by
// the number of attacked enemy pieces.
// ---------------------------------------------------------------------------------------------

EVAL_WEIGHT int16_t knightMobilityMg[9] = {-12, -4, 0, 2, 4, 5, 7, 8, 10};
EVAL_WEIGHT int16_t knightMobilityEg[9] = {-6, -2, 0, 1, 2, 2, 3, 4, 5};
EVAL_WEIGHT int16_t knightAttacksMg[9] = {0, 3, 6, 9, 12, 12, 12, 12, 0};
EVAL_WEIGHT int16_t knightAttacksEg[9] = {0, 12, 24, 36, 48, 48, 48, 48, 0};
// Knights love outposts: times the opponent's pawns / 8.
EVAL_WEIGHT SquareTable knightSquareTable = {
    {-72, -32, -24, -24, -24, -24, -32, -72}, {-32, -8, 0, 4, 4, 0, -8, -32},
    {-24, 4, 20, 24, 24, 20, 4, -24},         {-20, 4, 16, 20, 20, 16, 4, -20},
    {-20, 0, 8, 16, 16, 8, 0, -20},           {-24, -8, 0, 4, 4, 0, -8, -24},
    {-32, -24, -16, -8, -8, -16, -24, -32},   {-40, -32, -24, -24, -24, -24, -32, -40},
};
// An own pawn right in front of the knight shields it.
EVAL_WEIGHT SquareTable knightBehindPawn = {
    {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0},         {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 4, 8, 8, 8, 8, 4, 0}, {14, 10, 12, 16, 16, 12, 10, 14}, {8, 6, 8, 12, 12, 8, 6, 8},
    {0, 3, 4, 6, 6, 4, 3, 0}, {0, 0, 0, 0, 0, 0, 0, 0},
};
// An enemy pawn three ranks ahead will soon chase the knight away.
EVAL_WEIGHT SquareTable knightPawnAhead = {
    {0, 0, 0, 0, 0, 0, 0, 0},         {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},         {0, 0, 0, 0, 0, 0, 0, 0},
    {-8, -8, -8, -8, -8, -8, -8, -8}, {-8, -8, -8, -8, -8, -8, -8, -8},
    {-8, -8, -4, -4, -4, -4, -8, -8}, {-32, -24, -24, -12, -12, -24, -24, -32},
};

EVAL_WEIGHT int16_t bishopMobility[16] = {-24, -16, -12, -8, -4, 0,  4,  8,
                                          12,  14,  16,  18, 20, 22, 24, 26};
EVAL_WEIGHT int16_t bishopAttacksMg[8] = {0, 3, 6, 6, 6, 0, 0, 0};
EVAL_WEIGHT int16_t bishopAttacksEg[8] = {0, 18, 36, 36, 36, 0, 0, 0};
EVAL_WEIGHT SquareTable bishopSquareTable = {
    {-12, -8, -6, -4, -4, -6, -8, -12},
    {-8, 0, -2, 0, 0, -2, 0, -8},
    {-6, -2, 4, 2, 2, 4, -2, -6},
    {-4, 0, 2, 8, 8, 2, 0, -4},
    {-4, 0, 2, 8, 8, 2, 0, -4},    // as row 3
    {-6, -2, 4, 2, 2, 4, -2, -6},  // as row 2
    {-8, 0, -2, 0, 0, -2, 0, -8},  // as row 1
    {-24, -20, -16, -12, -12, -16, -20, -24},
};

EVAL_WEIGHT int16_t rookMobilityMg[16] = {-12, -10, -6, -3, 0,  3,  6,  9,
                                          12,  14,  15, 16, 16, 16, 16, 16};
EVAL_WEIGHT int16_t rookMobilityEg[16] = {-36, -30, -24, -18, -12, -6, 0,  6,
                                          12,  16,  19,  22,  25,  25, 25, 25};
EVAL_WEIGHT int16_t rookAttacksMg[8] = {0, 6, 12, 18, 8, 0, 0, 0};
EVAL_WEIGHT int16_t rookAttacksEg[8] = {0, 12, 24, 36, 16, 0, 0, 0};
// By the number of files without any pawn (open) or without own pawns (half-open).
EVAL_WEIGHT int16_t rookOpenFile[8] = {0, 16, 16, 16, 12, 8, -2, -2};
EVAL_WEIGHT int16_t rookHalfOpenFile[8] = {0, 8, 8, 8, 8, 8, 8, 8};

EVAL_WEIGHT SquareTable queenSquareMg = {
    {-4, -2, 0, 0, 0, 0, -2, -4}, {-4, -2, 0, 0, 0, 0, -2, -4},       {-4, -2, 0, 0, 0, 0, -2, -4},
    {-4, -2, 0, 0, 0, 0, -2, -4}, {-4, -2, 0, 2, 2, 0, -2, -4},       {-6, -2, 2, 4, 4, 2, -2, -6},
    {-8, -4, 0, 2, 2, 0, -4, -8}, {-12, -8, -4, -2, -2, -4, -8, -12},
};
EVAL_WEIGHT SquareTable queenSquareEg = {
    {-8, -6, -4, -2, -2, -4, -6, -8}, {-6, -4, -2, 0, 0, -2, -4, -6},
    {-2, 0, 2, 4, 4, 2, 0, -2},       {0, 0, 4, 8, 8, 4, 0, 0},
    {-3, 0, 3, 6, 6, 3, 0, -3},       {-6, -4, 0, 2, 2, 0, -4, -6},
    {-8, -7, -6, -4, -4, -6, -7, -8}, {-10, -9, -8, -6, -6, -8, -9, -10},
};

EVAL_WEIGHT ScalarWeight TrappedMinorPenalty = 100;
EVAL_WEIGHT ScalarWeight TrappedRookPenalty = 50;

// A rook (on the seventh or eighth rank) or a queen (on the seventh) against a king on its back
// rank, which they cut off, or on the seventh beside them.
EVAL_WEIGHT ScalarWeight RookSeventhKingBackMg = 10;
EVAL_WEIGHT ScalarWeight RookSeventhKingBackEg = 40;
EVAL_WEIGHT ScalarWeight RookSeventhKingSeventh = 10;
EVAL_WEIGHT ScalarWeight QueenSeventhKingBackMg = 10;
EVAL_WEIGHT ScalarWeight QueenSeventhKingBackEg = 32;
EVAL_WEIGHT ScalarWeight QueenSeventhKingSeventh = 10;
// A queen near the enemy king: QueenNearKing less QueenKingDistance per step between them.
EVAL_WEIGHT ScalarWeight QueenNearKing = 8;
EVAL_WEIGHT ScalarWeight QueenKingDistance = 2;

// ---------------------------------------------------------------------------------------------
// Pawn structure. Square tables by relative row (row 1 = rank before promotion, row 6 = start
// rank); rows 0 and 7 never hold a pawn. Tables by relative rank (0 = own back rank) are one line.
// ---------------------------------------------------------------------------------------------

EVAL_WEIGHT SquareTable pawnSquareMg = {
    {0, 0, 0, 0, 0, 0, 0, 0},       {-12, 0, 8, 16, 16, 8, 0, -12},
    {-12, 0, 8, 16, 16, 8, 0, -12}, {-12, 0, 8, 20, 20, 8, 0, -12},
    {-12, 0, 8, 24, 24, 8, 0, -12}, {-12, -6, 0, 20, 20, 0, -6, -12},
    {-12, -6, 0, 8, 8, 0, -6, -12}, {0, 0, 0, 0, 0, 0, 0, 0},
};
EVAL_WEIGHT SquareTable pawnSquareEg = {
    {0, 0, 0, 0, 0, 0, 0, 0},     {24, 16, 12, 5, 5, 12, 16, 24}, {24, 16, 12, 4, 4, 12, 16, 24},
    {20, 12, 8, 3, 3, 8, 12, 20}, {8, 6, 4, 2, 2, 4, 6, 8},       {0, 0, -4, 1, 1, -4, 0, 0},
    {0, 0, -4, 0, 0, -4, 0, 0},   {0, 0, 0, 0, 0, 0, 0, 0},
};
EVAL_WEIGHT SquareTable passedMg = {
    {0, 0, 0, 0, 0, 0, 0, 0},         {90, 90, 90, 90, 90, 90, 90, 90},
    {64, 48, 44, 44, 44, 44, 48, 64}, {36, 32, 28, 20, 20, 28, 32, 36},
    {20, 18, 14, 4, 4, 14, 18, 20},   {4, 4, 4, 4, 4, 4, 4, 4},
    {4, 4, 4, 4, 4, 4, 4, 4},         {0, 0, 0, 0, 0, 0, 0, 0},
};
EVAL_WEIGHT SquareTable passedEg = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {144, 134, 112, 110, 110, 112, 134, 144},
    {100, 100, 88, 76, 76, 88, 100, 100},
    {48, 44, 40, 40, 40, 40, 44, 48},
    {20, 18, 16, 14, 14, 16, 18, 20},
    {8, 6, 4, 2, 2, 4, 6, 8},
    {12, 10, 8, 6, 6, 8, 10, 12},
    {0, 0, 0, 0, 0, 0, 0, 0},
};
EVAL_WEIGHT SquareTable isolatedMg = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {-10, -10, -10, -10, -10, -10, -10, -10},
    {-10, -10, -10, -10, -10, -10, -10, -10},
    {-10, -10, -10, -10, -10, -10, -10, -10},
    {-10, -10, -10, -10, -10, -10, -10, -10},
    {-10, -10, -10, -10, -10, -10, -10, -10},
    {-10, -10, -10, -10, -10, -10, -10, -10},
    {0, 0, 0, 0, 0, 0, 0, 0},
};
EVAL_WEIGHT SquareTable isolatedEg = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {-10, -10, -10, -10, -10, -10, -10, -10},
    {-10, -10, -10, -10, -10, -10, -10, -10},
    {-10, -10, -10, -10, -10, -10, -10, -10},
    {-12, -12, -12, -12, -12, -12, -12, -12},
    {-16, -16, -16, -16, -16, -16, -16, -16},
    {-16, -16, -16, -16, -16, -16, -16, -16},
    {0, 0, 0, 0, 0, 0, 0, 0},
};
// Doubled: charged to the front pawn of the two (the one with an own pawn behind it).
EVAL_WEIGHT SquareTable doubledMg = {
    {0, 0, 0, 0, 0, 0, 0, 0},           {0, 0, 0, 0, 0, 0, 0, 0},
    {-15, -5, -5, -5, -5, -5, -5, -15}, {-20, -5, -5, -5, -5, -5, -5, -20},
    {-25, 0, -5, -5, -5, -5, 0, -25},   {-35, -5, 0, -10, -10, 0, -5, -35},
    {0, 0, 0, 0, 0, 0, 0, 0},           {0, 0, 0, 0, 0, 0, 0, 0},
};
EVAL_WEIGHT SquareTable doubledEg = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {-10, -10, -10, -10, -10, -10, -10, -10},
    {-20, -10, -10, -10, -10, -10, -10, -20},
    {-25, -15, -15, -15, -15, -15, -15, -25},
    {-30, -20, -20, -20, -20, -20, -20, -30},
    {-35, -25, -25, -25, -25, -25, -25, -35},
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
};
EVAL_WEIGHT SquareTable backwardMg = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {-5, -5, -5, -5, -5, -5, -5, -5},
    {-10, -10, -10, -10, -10, -10, -10, -10},
    {-8, -8, -8, -8, -8, -8, -8, -8},
    {-6, -6, -6, -6, -6, -6, -6, -6},
    {-5, -5, -5, -6, -6, -5, -5, -5},
    {-5, -5, -5, -6, -6, -5, -5, -5},
    {0, 0, 0, 0, 0, 0, 0, 0},
};
EVAL_WEIGHT SquareTable backwardEg = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {-5, -5, -5, -5, -5, -5, -5, -5},
    {-5, -5, -5, -5, -5, -5, -5, -5},
    {-7, -7, -7, -7, -7, -7, -7, -7},
    {-10, -10, -10, -10, -10, -10, -10, -10},
    {-10, -10, -10, -10, -10, -10, -10, -10},
    {-10, -10, -10, -10, -10, -10, -10, -10},
    {0, 0, 0, 0, 0, 0, 0, 0},
};
// Middle game only: a defended pawn that no enemy pawn can challenge.
EVAL_WEIGHT SquareTable pawnChainBonus = {
    {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}, {1, 4, 6, 8, 8, 6, 4, 1},
    {0, 2, 4, 5, 5, 4, 2, 0}, {0, 0, 0, 2, 2, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0},
};
// Extra penalties for weak pawns on files without a pawn ahead (open to enemy rooks).
EVAL_WEIGHT ScalarWeight DoubledOpenMg = -10;
EVAL_WEIGHT ScalarWeight IsolatedOpenMg = -16;
EVAL_WEIGHT ScalarWeight IsolatedOpenEg = -12;
EVAL_WEIGHT ScalarWeight BackwardOpenMg = -12;
EVAL_WEIGHT ScalarWeight BackwardOpenEg = -2;

// By relative rank 0..7.
EVAL_WEIGHT int16_t passedPhalanxMg[8] = {0, 0, 0, 16, 20, 24, 40, 0};
EVAL_WEIGHT int16_t passedPhalanxEg[8] = {0, 0, 0, 20, 32, 48, 100, 0};
EVAL_WEIGHT int16_t passedDefendedMg[8] = {0, 0, 0, 0, 0, 16, 24, 0};
EVAL_WEIGHT int16_t passedDefendedEg[8] = {0, 0, 0, 0, 0, 16, 24, 0};
EVAL_WEIGHT int16_t candidateMg[8] = {0, 0, 0, 8, 32, 48, 0, 0};
EVAL_WEIGHT int16_t candidateEg[8] = {0, 0, 0, 8, 54, 80, 0, 0};

// Dynamic passed-pawn terms by relative rank 0..7.
EVAL_WEIGHT int16_t passerFree[8] = {0, 4, 4, 4, 6, 12, 16, 0};
EVAL_WEIGHT int16_t passerBlocked[8] = {0, -4, -4, -4, -6, -12, -16, 0};
// A knight or bishop on the stop square blocks best: it is not driven off by a rook or king.
EVAL_WEIGHT int16_t passerBlockedByMinor[8] = {0, -8, -8, -8, -12, -24, -32, 0};
EVAL_WEIGHT int16_t passerOwnKing[8] = {0, 0, 0, 2, 8, 8, 12, 16};
EVAL_WEIGHT int16_t passerEnemyKing[8] = {0, 0, 0, 4, 16, 16, 24, 32};
EVAL_WEIGHT int16_t passerRookBehind[8] = {0, 0, 0, 10, 15, 20, 25, 0};
// A pawn on the seventh that can safely promote, by the strongest piece that could still stop it.
EVAL_WEIGHT ScalarWeight PromotionVsMinor = 70;
EVAL_WEIGHT ScalarWeight PromotionVsRook = 230;
EVAL_WEIGHT ScalarWeight PromotionVsQueen = 750;
// Pawn race: a decisive unstoppable passer is worth this, less per move it still needs.
EVAL_WEIGHT ScalarWeight RaceWin = 500;
EVAL_WEIGHT ScalarWeight RacePerMove = 25;
// Storming pawns: one in contact with a shelter pawn opens lines; one blocked by a pawn needs a
// neighbour to lever with, and without one it does little.
EVAL_WEIGHT ScalarWeight StormContact = 1;
EVAL_WEIGHT ScalarWeight StormLever = 1;
EVAL_WEIGHT ScalarWeight StormBlocked = -1;

MELVOK_EVAL_END
