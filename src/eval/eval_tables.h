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

EVAL_WEIGHT ScalarWeight PawnValue = 84;
EVAL_WEIGHT ScalarWeight KnightValue = 291;
EVAL_WEIGHT ScalarWeight BishopValue = 312;
EVAL_WEIGHT ScalarWeight RookValue = 474;
EVAL_WEIGHT ScalarWeight QueenValue = 1014;

// ---------------------------------------------------------------------------------------------
// Material imbalance. Pawn-indexed tables run 0..8, the others by major-piece weight
// min(7, rooks + 3 * queens) 0..7.
// ---------------------------------------------------------------------------------------------

// A rook is worth most with no pawns left to block it; with pawns the table is nearly flat.
EVAL_WEIGHT int16_t rookByPawns[9] = {11, -6, -8, -3, -1, 1, 3, 4, 3};
// Both minor pieces gain with pawns on the board, the knight more: bishops are relatively
// best in open positions, knights in closed ones.
EVAL_WEIGHT int16_t bishopByPawns[9] = {-19, 9, 9, 11, 13, 14, 14, 21, 30};
EVAL_WEIGHT int16_t knightByPawns[9] = {-8, 6, 9, 11, 17, 23, 30, 35, 43};

EVAL_WEIGHT int16_t extraBishop[8] = {29, 40, 42, 27, 19, 26, 0, 0};
EVAL_WEIGHT int16_t bishopVsKnightA[8] = {44, 31, 35, 53, 14, 24, 0, 0};
EVAL_WEIGHT int16_t bishopVsKnightB[8] = {-36, -12, 0, -49, -28, -7, 0, 0};
EVAL_WEIGHT int16_t bishopPairVsNone[8] = {66, 43, 49, -29, 3, 43, 0, 0};
EVAL_WEIGHT int16_t loneBishopVsNone[8] = {-7, -4, -4, -29, -10, -10, 0, 0};
EVAL_WEIGHT int16_t twoMinorsVsRook[8] = {16, 50, 85, 61, 20, -69, 0, 0};
EVAL_WEIGHT int16_t minorVsRookC[8] = {-13, 38, 13, 170, -5, -3, 0, 0};
EVAL_WEIGHT int16_t minorVsRookD[8] = {-157, 39, 12, -9, -5, -11, 0, 0};
EVAL_WEIGHT int16_t minorVsRookA[8] = {-120, 36, 7, 0, 10, 7, 0, 0};
EVAL_WEIGHT int16_t minorVsRookB[8] = {-108, 51, 1, 0, 16, 3, 0, 0};
EVAL_WEIGHT int16_t queenVsRook[8] = {36, -27, 0, 0, 0, 0, 0, 0};
EVAL_WEIGHT int16_t queenVsRookPawns[9] = {-15, 23, -5, 13, 18, 25, -11, 24, 57};
EVAL_WEIGHT int16_t queenVsTwoRooks[8] = {29, 33, 60, 76, 10, 0, 0, 0};
EVAL_WEIGHT int16_t minorUpB[8] = {95, 75, 72, 71, 54, 21, 0, 0};
EVAL_WEIGHT int16_t minorUpA[8] = {66, 55, 51, 67, 29, 4, 0, 0};
// Out of 1024: an imbalance matters most when the side ahead keeps a few pawns.
EVAL_WEIGHT int16_t imbalanceByPawns[9] = {557, 661, 1075, 1142, 1177, 1156, 1099, 1227, 886};
// Three minor pieces against a queen (same rooks) are worth more than their units say.
EVAL_WEIGHT ScalarWeight ThreeMinorsVsQueen = 27;
// The imbalance grows by this much (out of 1024) for every unit of pieces the side ahead has
// below 16: in a thinner position the extra piece weighs more.
EVAL_WEIGHT ScalarWeight ImbalancePerUnit = 31;

// ---------------------------------------------------------------------------------------------
// Draw scaling (out of 1024).
// ---------------------------------------------------------------------------------------------

// Queen endings with equal pawns: few pawns mean perpetual check chances. By pawns per side.
EVAL_WEIGHT int16_t queenEndingScale[9] = {512, 571, 601, 781, 986, 741, 1024, 1024, 1024};
// Rook endings (one rook each, pawns within one): by total pawns 0..16.
EVAL_WEIGHT int16_t rookEndingScale[17] = {45,   462,  488,  866,  819,  894, 912, 1138, 1018,
                                           1089, 1119, 1082, 1012, 1110, 900, 800, 800};
EVAL_WEIGHT ScalarWeight DrawishScale = 99;    // hardly any winning material left
EVAL_WEIGHT ScalarWeight LonePawnScale = 206;  // one pawn against a minor that can give itself up
EVAL_WEIGHT ScalarWeight SameBishopsScale = 256;  // two bishops on one colour cannot force mate
// Opposite-coloured bishops: OppositeBishopsBase plus OppositeBishopsPerPawn for every pawn on
// the board.
EVAL_WEIGHT ScalarWeight OppositeBishopsBase = 58;
EVAL_WEIGHT ScalarWeight OppositeBishopsPerPawn = 79;
EVAL_WEIGHT ScalarWeight TempoBonus = 9;

// ---------------------------------------------------------------------------------------------
// King safety.
// ---------------------------------------------------------------------------------------------

// By file distance from the king to the nearest file holding own (enemy) pawns.
EVAL_WEIGHT int16_t kingPawnSpan[8] = {0, 8, 19, 28, 33, 34, 39, 36};
EVAL_WEIGHT int16_t kingFileDistance[8] = {0, 4, 9, 17, 23, 32, 23, 21};
// Final scaling of the king term in the ending.
EVAL_WEIGHT int16_t kingScaleByPawns[9] = {49, 13, 15, 16, 18, 18, 17, 15, -3};
EVAL_WEIGHT int16_t kingScaleByUnits[34] = {7,  16, 16, 19, 16, 25, 39, 16, 17, 32, 16, 12,
                                            7,  13, 8,  8,  8,  12, 16, 20, 24, 24, 24, 24,
                                            24, 16, 16, 16, 16, 16, 16, 16, 0,  0};
// Attack danger thresholds: every threshold the danger exceeds adds the excess again.
EVAL_WEIGHT int16_t kingDangerThresholds[8] = {-4, -4, 5, 9, 48, 90, 154, 225};
// The danger: the square's base danger plus a quarter of the attackers' potential, raised by a
// weak shelter (by (KingShelterBase + storm - shelter) / 16), and changed when the king's side
// is to move.
EVAL_WEIGHT ScalarWeight KingShelterBase = 61;
EVAL_WEIGHT ScalarWeight KingDangerToMove = -10;
// The penalty: the summed excess over the thresholds, times this out of 32 (with full attacking
// material).
EVAL_WEIGHT ScalarWeight KingDangerWeight = 3;

// The attack potential of the pieces against the king: each piece's weight times how near its
// line (its walk toward the king) comes to the king's area, less what stands in the way.
EVAL_WEIGHT ScalarWeight KingAttackKnight = 6;
EVAL_WEIGHT ScalarWeight KingAttackBishop = 5;
EVAL_WEIGHT ScalarWeight KingAttackRook = 10;
EVAL_WEIGHT ScalarWeight KingAttackQueen = 7;
// The value of a walk's last square, changed when the line runs straight at the king, when a
// queen ends on an empty square, when a bishop's last square is not held by another bishop (a
// bishop there blocks its partner), and when a rook ends on another rook.
EVAL_WEIGHT ScalarWeight WalkStraight = 4;
EVAL_WEIGHT ScalarWeight WalkQueenEmptyEnd = 0;
EVAL_WEIGHT ScalarWeight WalkBishopEndFree = -2;
EVAL_WEIGHT ScalarWeight WalkRookEndOnRook = -1;
// What a walk pays for the pieces in the way (a negative cost helps it). The attacker's own: a
// pawn on a bishop's diagonal (it must advance first, and cannot when blocked), a piece on it, a
// pawn on a rook's or queen's line, the extra cost of such a pawn that must advance to a lever,
// a piece on a rook's or queen's line, and a rook or queen on it (a battery).
EVAL_WEIGHT ScalarWeight WalkOwnPawnOnDiagonal = -1;
EVAL_WEIGHT ScalarWeight WalkOwnPieceOnDiagonal = -4;
EVAL_WEIGHT ScalarWeight WalkOwnPawnOnLine = 5;
EVAL_WEIGHT ScalarWeight WalkPawnToLever = 3;
EVAL_WEIGHT ScalarWeight WalkOwnPieceOnLine = 1;
EVAL_WEIGHT ScalarWeight WalkBattery = -2;
// The defender's: any piece, then a bishop on a bishop's diagonal, a pawn on a rook's line and
// a rook on a rook's line, and every defender pawn guarding the square. A queen's walk pays its
// own amounts.
EVAL_WEIGHT ScalarWeight WalkEnemyPiece = -1;
EVAL_WEIGHT ScalarWeight WalkEnemyBishopOnDiagonal = 26;
EVAL_WEIGHT ScalarWeight WalkEnemyPawnOnLine = 6;
EVAL_WEIGHT ScalarWeight WalkEnemyRookOnLine = 1;
EVAL_WEIGHT ScalarWeight WalkGuardingPawn = 6;
EVAL_WEIGHT ScalarWeight WalkQueenEnemyPiece = 3;
EVAL_WEIGHT ScalarWeight WalkQueenGuardingPawn = 3;

// With heavy material about: a penalty of KingShieldWeight * (KingShieldBase - shield) / 32 per
// unit of the opponent's pieces, the shield being shelter less storm, and the better of that and
// a shelter the king can still castle behind. A bishop right in front of the king shields it; to
// castle costs time, and the pieces still between king and rook change that cost.
EVAL_WEIGHT ScalarWeight KingShieldWeight = 2;
EVAL_WEIGHT ScalarWeight KingShieldBase = 3;
EVAL_WEIGHT ScalarWeight ShieldBishopInFront = 5;
EVAL_WEIGHT ScalarWeight CastlingShieldCost = 12;
EVAL_WEIGHT ScalarWeight CastlingPathPiece = -1;

// The king wants the centre in the ending and its own back rank while pieces are about.
EVAL_WEIGHT SquareTable kingSquareTable = {
    {-10, 48, 57, 65, 65, 57, 48, -10},  // row 0: opponent's back rank
    {21, 46, 58, 66, 66, 58, 46, 21},   {24, 48, 62, 63, 63, 62, 48, 24},
    {22, 36, 35, 24, 24, 35, 36, 22},   {13, 21, 25, 27, 27, 25, 21, 13},
    {9, 14, 15, 19, 19, 15, 14, 9},     {6, 8, 6, 7, 7, 6, 8, 6},
    {-10, 4, -3, -8, -8, -3, 4, -10},  // row 7: own back rank
};
// Base danger of the king's square: high anywhere in front of its own camp.
EVAL_WEIGHT SquareTable kingDanger = {
    {9, 50, 11, 25, 25, 11, 50, 9},     {42, 0, 11, -4, -4, 11, 0, 42},
    {33, 7, 21, 35, 35, 21, 7, 33},     {31, 31, 41, 32, 32, 41, 31, 31},
    {33, 47, 38, 28, 28, 38, 47, 33},   {6, 7, 23, 7, 7, 23, 7, 6},
    {-7, -10, 1, -11, -11, 1, -10, -7}, {-6, -11, -3, -12, -12, -3, -11, -6},
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

EVAL_WEIGHT int16_t knightMobilityMg[9] = {-22, -3, -2, 0, 7, 6, 5, 7, 8};
EVAL_WEIGHT int16_t knightMobilityEg[9] = {-46, -49, -22, -17, -6, 5, 10, 15, 14};
EVAL_WEIGHT int16_t knightAttacksMg[9] = {-5, 2, 9, 30, 64, 12, 12, 12, 0};
EVAL_WEIGHT int16_t knightAttacksEg[9] = {-21, 9, 40, 72, 75, 48, 48, 48, 0};
// Knights love outposts: times the opponent's pawns / 8.
EVAL_WEIGHT SquareTable knightSquareTable = {
    {-102, -34, -53, -13, -13, -53, -34, -102},
    {-29, -32, 18, 18, 18, 18, -32, -29},
    {-9, 19, 23, 39, 39, 23, 19, -9},
    {1, 2, 17, 23, 23, 17, 2, 1},
    {-4, 7, 17, 18, 18, 17, 7, -4},
    {-13, 6, 7, 14, 14, 7, 6, -13},
    {-1, -6, 1, 6, 6, 1, -6, -1},
    {-54, -14, -7, -10, -10, -7, -14, -54},
};
// An own pawn right in front of the knight shields it.
EVAL_WEIGHT SquareTable knightBehindPawn = {
    {0, 0, 0, 0, 0, 0, 0, 0},       {0, 0, 0, 0, 0, 0, 0, 0},       {0, 46, 47, 71, 71, 47, 46, 0},
    {3, 71, 26, 46, 46, 26, 71, 3}, {21, 29, 8, 14, 14, 8, 29, 21}, {12, 6, 11, 3, 3, 11, 6, 12},
    {-2, -4, -4, 5, 5, -4, -4, -2}, {42, -6, 13, 3, 3, 13, -6, 42},
};
// An enemy pawn three ranks ahead will soon chase the knight away.
EVAL_WEIGHT SquareTable knightPawnAhead = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
    {-10, -16, -8, -13, -13, -8, -16, -10},
    {-11, -10, -9, -12, -12, -9, -10, -11},
    {-17, -15, -14, -3, -3, -14, -15, -17},
    {-112, -21, -34, -27, -27, -34, -21, -112},
};

EVAL_WEIGHT int16_t bishopMobility[16] = {-28, -13, -9, -2, 0,  5,  8,  10,
                                          11,  13,  15, 15, 13, 13, 24, 26};
EVAL_WEIGHT int16_t bishopAttacksMg[8] = {8, 18, 24, 56, 6, 0, 0, 0};
EVAL_WEIGHT int16_t bishopAttacksEg[8] = {-20, 2, 27, 47, 36, 0, 0, 0};
EVAL_WEIGHT SquareTable bishopSquareTable = {
    {-16, -8, -25, -23, -23, -25, -8, -16}, {-21, 4, -6, -5, -5, -6, 4, -21},
    {-7, 5, 12, 6, 6, 12, 5, -7},           {-12, -6, 6, 13, 13, 6, -6, -12},
    {-12, -4, 4, 9, 9, 4, -4, -12},         {-5, 4, 6, 2, 2, 6, 4, -5},
    {-13, 7, 1, 2, 2, 1, 7, -13},           {-17, -8, -10, -12, -12, -10, -8, -17},
};

EVAL_WEIGHT int16_t rookMobilityMg[16] = {-26, -18, -15, -10, -11, -11, -8, -4,
                                          -5,  -3,  -2,  4,   15,  8,   30, 16};
EVAL_WEIGHT int16_t rookMobilityEg[16] = {-46, -28, -10, 0,  13, 18, 24, 24,
                                          32,  36,  37,  37, 38, 41, 39, 25};
EVAL_WEIGHT int16_t rookAttacksMg[8] = {-42, -31, -33, -26, -2, 0, 0, 0};
EVAL_WEIGHT int16_t rookAttacksEg[8] = {31, 56, 89, 102, 96, 0, 0, 0};
// By the number of files without any pawn (open) or without own pawns (half-open).
EVAL_WEIGHT int16_t rookOpenFile[8] = {0, 19, 21, 19, 13, 12, 6, -26};
EVAL_WEIGHT int16_t rookHalfOpenFile[8] = {0, 8, 7, 8, 7, 7, 5, 6};

EVAL_WEIGHT SquareTable queenSquareMg = {
    {-62, -43, 12, 29, 29, 12, -43, -62},   {8, -1, 3, -13, -13, 3, -1, 8},
    {-18, 0, -20, -12, -12, -20, 0, -18},   {-19, -31, -35, -29, -29, -35, -31, -19},
    {-12, -29, -7, -11, -11, -7, -29, -12}, {2, 7, 9, 13, 13, 9, 7, 2},
    {-13, 23, 27, 30, 30, 27, 23, -13},     {26, 26, 21, 30, 30, 21, 26, 26},
};
EVAL_WEIGHT SquareTable queenSquareEg = {
    {46, 31, 19, -6, -6, 19, 31, 46},         {-28, -8, -1, 30, 30, -1, -8, -28},
    {-15, 7, 41, 29, 29, 41, 7, -15},         {-1, 22, 49, 55, 55, 49, 22, -1},
    {-36, 17, -20, 16, 16, -20, 17, -36},     {-43, -52, -23, -40, -40, -23, -52, -43},
    {-19, -64, -68, -48, -48, -68, -64, -19}, {-33, -101, -73, -62, -62, -73, -101, -33},
};

EVAL_WEIGHT ScalarWeight TrappedMinorPenalty = 68;
EVAL_WEIGHT ScalarWeight TrappedRookPenalty = 51;

// A rook (on the seventh or eighth rank) or a queen (on the seventh) against a king on its back
// rank, which they cut off, or on the seventh beside them.
EVAL_WEIGHT ScalarWeight RookSeventhKingBackMg = 13;
EVAL_WEIGHT ScalarWeight RookSeventhKingBackEg = 46;
EVAL_WEIGHT ScalarWeight RookSeventhKingSeventh = 10;
EVAL_WEIGHT ScalarWeight QueenSeventhKingBackMg = -23;
EVAL_WEIGHT ScalarWeight QueenSeventhKingBackEg = 55;
EVAL_WEIGHT ScalarWeight QueenSeventhKingSeventh = -21;
// A queen near the enemy king: QueenNearKing less QueenKingDistance per step between them.
EVAL_WEIGHT ScalarWeight QueenNearKing = 22;
EVAL_WEIGHT ScalarWeight QueenKingDistance = 12;

// ---------------------------------------------------------------------------------------------
// Pawn structure. Square tables by relative row (row 1 = rank before promotion, row 6 = start
// rank); rows 0 and 7 never hold a pawn. Tables by relative rank (0 = own back rank) are one line.
// ---------------------------------------------------------------------------------------------

EVAL_WEIGHT SquareTable pawnSquareMg = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {-6, 6, -1, 2, 2, -1, 6, -6},
    {5, 17, -11, 18, 18, -11, 17, 5},
    {-31, 9, 6, 7, 7, 6, 9, -31},
    {-29, -13, -18, -3, -3, -18, -13, -29},
    {-17, 2, -16, -13, -13, -16, 2, -17},
    {-24, 4, -24, -9, -9, -24, 4, -24},
    {0, 0, 0, 0, 0, 0, 0, 0},
};
EVAL_WEIGHT SquareTable pawnSquareEg = {
    {0, 0, 0, 0, 0, 0, 0, 0},         {10, 28, 27, 33, 33, 27, 28, 10},
    {38, 41, 31, 30, 30, 31, 41, 38}, {28, 35, 19, 20, 20, 19, 35, 28},
    {16, 34, 21, 22, 22, 21, 34, 16}, {17, 27, 24, 21, 21, 24, 27, 17},
    {16, 24, 25, 18, 18, 25, 24, 16}, {0, 0, 0, 0, 0, 0, 0, 0},
};
EVAL_WEIGHT SquareTable passedMg = {
    {0, 0, 0, 0, 0, 0, 0, 0},         {96, 96, 81, 76, 76, 81, 96, 96},
    {10, 28, 64, 33, 33, 64, 28, 10}, {12, -1, 7, 14, 14, 7, -1, 12},
    {0, -12, -1, 0, 0, -1, -12, 0},   {3, -20, -11, -5, -5, -11, -20, 3},
    {4, 8, -7, -14, -14, -7, 8, 4},   {0, 0, 0, 0, 0, 0, 0, 0},
};
EVAL_WEIGHT SquareTable passedEg = {
    {0, 0, 0, 0, 0, 0, 0, 0},         {130, 146, 127, 138, 138, 127, 146, 130},
    {87, 97, 90, 86, 86, 90, 97, 87}, {52, 59, 54, 43, 43, 54, 59, 52},
    {31, 35, 26, 24, 24, 26, 35, 31}, {-11, -1, -4, 1, 1, -4, -1, -11},
    {-9, 15, 5, 24, 24, 5, 15, -9},   {0, 0, 0, 0, 0, 0, 0, 0},
};
EVAL_WEIGHT SquareTable isolatedMg = {
    {0, 0, 0, 0, 0, 0, 0, 0},           {35, 42, 39, 3, 3, 39, 42, 35},
    {26, 41, 11, 5, 5, 11, 41, 26},     {4, 8, 4, -9, -9, 4, 8, 4},
    {6, -16, -20, -3, -3, -20, -16, 6}, {-1, -22, -16, -21, -21, -16, -22, -1},
    {1, -22, -1, -8, -8, -1, -22, 1},   {0, 0, 0, 0, 0, 0, 0, 0},
};
EVAL_WEIGHT SquareTable isolatedEg = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {21, -30, -5, -15, -15, -5, -30, 21},
    {-3, -34, -16, -23, -23, -16, -34, -3},
    {4, -32, -20, -17, -17, -20, -32, 4},
    {0, -14, -9, -19, -19, -9, -14, 0},
    {-2, -16, -16, -18, -18, -16, -16, -2},
    {3, -11, -19, -13, -13, -19, -11, 3},
    {0, 0, 0, 0, 0, 0, 0, 0},
};
// Doubled: charged to the front pawn of the two (the one with an own pawn behind it).
EVAL_WEIGHT SquareTable doubledMg = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {-80, -4, -17, -54, -54, -17, -4, -80},
    {-14, -19, -22, -14, -14, -22, -19, -14},
    {-21, -6, -12, -8, -8, -12, -6, -21},
    {-26, -28, -9, -22, -22, -9, -28, -26},
    {-34, -45, -4, -33, -33, -4, -45, -34},
    {0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0},
};
EVAL_WEIGHT SquareTable doubledEg = {
    {0, 0, 0, 0, 0, 0, 0, 0},           {-45, -11, 18, -7, -7, 18, -11, -45},
    {-46, -22, -4, 0, 0, -4, -22, -46}, {-55, -9, -7, -12, -12, -7, -9, -55},
    {-38, 2, -11, -6, -6, -11, 2, -38}, {-38, -17, -19, 6, 6, -19, -17, -38},
    {0, 0, 0, 0, 0, 0, 0, 0},           {0, 0, 0, 0, 0, 0, 0, 0},
};
EVAL_WEIGHT SquareTable backwardMg = {
    {0, 0, 0, 0, 0, 0, 0, 0},         {-5, -5, -5, -5, -5, -5, -5, -5},
    {-16, 43, -1, 6, 6, -1, 43, -16}, {7, 4, -5, 3, 3, -5, 4, 7},
    {5, -1, 3, 0, 0, 3, -1, 5},       {-6, -9, 5, -8, -8, 5, -9, -6},
    {-7, -1, -3, -5, -5, -3, -1, -7}, {0, 0, 0, 0, 0, 0, 0, 0},
};
EVAL_WEIGHT SquareTable backwardEg = {
    {0, 0, 0, 0, 0, 0, 0, 0},
    {-5, -5, -5, -5, -5, -5, -5, -5},
    {-10, -16, 4, -24, -24, 4, -16, -10},
    {-6, 2, -2, -10, -10, -2, 2, -6},
    {-5, -5, -16, -14, -14, -16, -5, -5},
    {-5, -10, -17, -11, -11, -17, -10, -5},
    {1, -11, -9, -10, -10, -9, -11, 1},
    {0, 0, 0, 0, 0, 0, 0, 0},
};
// Middle game only: a defended pawn that no enemy pawn can challenge.
EVAL_WEIGHT SquareTable pawnChainBonus = {
    {0, 0, 0, 0, 0, 0, 0, 0},           {-72, 127, 98, 26, 26, 98, 127, -72},
    {-11, 76, 53, 45, 45, 53, 76, -11}, {1, 18, 21, 14, 14, 21, 18, 1},
    {0, 3, -3, 3, 3, -3, 3, 0},         {-6, 6, 1, 9, 9, 1, 6, -6},
    {0, 0, 0, 0, 0, 0, 0, 0},           {0, 0, 0, 0, 0, 0, 0, 0},
};
// Extra amounts for weak pawns on files without a pawn ahead (open to enemy rooks).
EVAL_WEIGHT ScalarWeight DoubledOpenMg = -5;
EVAL_WEIGHT ScalarWeight IsolatedOpenMg = -15;
EVAL_WEIGHT ScalarWeight IsolatedOpenEg = -1;
EVAL_WEIGHT ScalarWeight BackwardOpenMg = -8;
EVAL_WEIGHT ScalarWeight BackwardOpenEg = 3;

// By relative rank 0..7.
EVAL_WEIGHT int16_t passedPhalanxMg[8] = {0, -3, 2, 14, 19, 107, -64, 0};
EVAL_WEIGHT int16_t passedPhalanxEg[8] = {0, -8, -2, 9, 21, 42, 113, 0};
EVAL_WEIGHT int16_t passedDefendedMg[8] = {0, 0, -9, 13, 3, 28, 128, 0};
EVAL_WEIGHT int16_t passedDefendedEg[8] = {0, 0, 9, -1, 10, 22, 36, 0};
EVAL_WEIGHT int16_t candidateMg[8] = {0, -1, -3, 7, 10, 53, 0, 0};
EVAL_WEIGHT int16_t candidateEg[8] = {0, 0, 4, 16, 53, 167, 0, 0};

// Dynamic passed-pawn terms by relative rank 0..7.
EVAL_WEIGHT int16_t passerFree[8] = {0, 16, 21, 18, 33, 56, 16, 0};
EVAL_WEIGHT int16_t passerBlocked[8] = {0, 7, 13, 5, 6, -2, -12, 0};
// A knight or bishop on the stop square blocks best: it is not driven off by a rook or king.
EVAL_WEIGHT int16_t passerBlockedByMinor[8] = {0, 0, -24, -16, -12, -22, -70, 0};
EVAL_WEIGHT int16_t passerOwnKing[8] = {0, 3, 3, 8, 12, 13, 9, 16};
EVAL_WEIGHT int16_t passerEnemyKing[8] = {0, 0, 1, 8, 17, 29, 38, 32};
EVAL_WEIGHT int16_t passerRookBehind[8] = {0, -2, 0, 17, 15, 29, 30, 0};
// A pawn on the seventh that can safely promote, by the strongest piece that could still stop it.
EVAL_WEIGHT ScalarWeight PromotionVsMinor = 193;
EVAL_WEIGHT ScalarWeight PromotionVsRook = 188;
EVAL_WEIGHT ScalarWeight PromotionVsQueen = 354;
// Pawn race: a decisive unstoppable passer is worth this, less per move it still needs.
EVAL_WEIGHT ScalarWeight RaceWin = 441;
EVAL_WEIGHT ScalarWeight RacePerMove = 81;
// Storming pawns, adjusted when in contact with a shelter pawn (it opens lines) and when blocked
// by a pawn, with a neighbour to lever with or without one.
EVAL_WEIGHT ScalarWeight StormContact = -5;
EVAL_WEIGHT ScalarWeight StormLever = 9;
EVAL_WEIGHT ScalarWeight StormBlocked = -7;

MELVOK_EVAL_END
