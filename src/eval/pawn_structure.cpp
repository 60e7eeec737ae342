// Pawn structure: the static terms kept in the pawn hash, and the passed-pawn and pawn-race
// terms computed at every evaluation from the entry and the board.
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "eval/eval_tables.h"
#include "eval/evaluator.h"
#include "eval/exchange.h"

MELVOK_EVAL_BEGIN

namespace {

// A pawn of a side is one of the slots 8..15 of its colour (the guard 0xC0 is none).
inline bool pawnOf(const Position& pos, int sq, int side) {
  return (pos.at(sq) & 0xF8) == colourBase(side) + PawnSlot;
}
inline bool anyPawn(const Position& pos, int sq) { return isPawnPiece(pos.at(sq)); }
inline int adjacentFiles(int file) { return ((1 << file) >> 1 | (1 << file) << 1) & 0xFF; }

// Relative rank: 0 is the side's own back rank, 6 the rank before promotion.
inline int relativeRank(int side, int sq) { return side == White ? rankOf(sq) : 7 - rankOf(sq); }

// Shelter and storm values are kept in a byte of the pawn entry.
#ifdef MELVOK_EVAL_TRACE
Score clampByte(const Score& v) {
  return v.value() < -128 ? Score(-128) : v.value() > 127 ? Score(127) : v;
}
#else
inline int clampByte(int v) { return std::clamp(v, -128, 127); }
#endif

// Whether a backward pawn can still be supported or advance safely (see pawnStructure).
bool isBackward(const Position& pos, int side, int sq, int r) {
  const int step = pawnStep[side];
  const int enemy = side ^ 1;
  const int stop = sq + step;
  if (!anyPawn(pos, stop)) {
    const int beside = pawnOf(pos, sq - 1, side) + pawnOf(pos, sq + 1, side);
    const int stopAttackers =
        pawnOf(pos, stop + step - 1, enemy) + pawnOf(pos, stop + step + 1, enemy);
    if (beside > stopAttackers) return false;
    const int twoSteps = stop + step;
    if (r == 1 && !anyPawn(pos, twoSteps)) {
      const int besideStop = pawnOf(pos, stop - 1, side) + pawnOf(pos, stop + 1, side);
      const int twoStepAttackers =
          pawnOf(pos, twoSteps + step - 1, enemy) + pawnOf(pos, twoSteps + step + 1, enemy);
      if (besideStop > twoStepAttackers) return false;
    }
  }
  // A neighbour two ranks behind can come up to defend it, unless the square it needs is taken
  // or guarded by an enemy pawn.
  for (int d : {-1, 1}) {
    const int between = sq - step + d;
    if (pawnOf(pos, between - step, side) && !anyPawn(pos, between) &&
        !pawnOf(pos, sq + 2 * d, enemy))
      return false;
  }
  return true;
}

// A candidate passer: on a half-open file, with at least as many own pawns able to support its
// advance (beside it, or diagonally behind it with no pawn in front of them) as enemy pawns
// ahead on the neighbouring files can stop it. That is the classic count; supporters beside the
// pawn count fully because they can advance together. Only pawns are looked at: the result is
// kept in the pawn hash, shared by every position with these pawns.
bool isCandidate(const Position& pos, int side, int sq) {
  const int step = pawnStep[side];
  const int enemy = side ^ 1;
  int sentries = 0;
  for (int s = sq + step; onBoard(s); s += step)
    sentries += pawnOf(pos, s - 1, enemy) + pawnOf(pos, s + 1, enemy);
  int supporters = pawnOf(pos, sq - 1, side) + pawnOf(pos, sq + 1, side);
  for (int d : {-1, 1}) {
    if (pawnOf(pos, sq - step + d, side) && !anyPawn(pos, sq + d)) ++supporters;
  }
  return supporters >= sentries;
}

// The ranks holding pawns on each file, a bit per rank, by side. Files are stored shifted by one
// so that the neighbours of the a- and h-files read as empty.
struct PawnFiles {
  uint8_t ranks[2][10] = {};

  explicit PawnFiles(const Position& pos) {
    for (int side = White; side <= Black; ++side) {
      for (int n = colourBase(side) + PawnSlot; pos.pieceSquare[n] != NoSquare; ++n) {
        const int sq = pos.pieceSquare[n];
        if (!(sq & 0x88)) ranks[side][fileOf(sq) + 1] |= uint8_t(1 << rankOf(sq));
      }
    }
  }
  int onFile(int side, int file) const { return ranks[side][file + 1]; }
};

// The ranks in front of (toward promotion) and behind rank k, for a side's pawn.
template <int side>
constexpr int ranksAhead(int k) {
  return side == White ? (0xFE << k) & 0xFF : (1 << k) - 1;
}
template <int side>
constexpr int ranksBehind(int k) {
  return side == White ? (1 << k) - 1 : (0xFE << k) & 0xFF;
}

// One side's static pawn terms; one template instance per side, so that the pawn step and the
// piece numbers are constants.
template <int side>
void pawnStructureFor(const Position& pos, const PawnFiles& files, PawnSide& record, Score& mg,
                      Score& eg) {
  const int base = colourBase(side);
  const int step = pawnStep[side];
  const int enemy = side ^ 1;
  int ownFiles = 0;
  for (int n = base + PawnSlot; pos.pieceSquare[n] != NoSquare; ++n) {
    const int sq = pos.pieceSquare[n];
    if (!(sq & 0x88)) ownFiles |= 1 << fileOf(sq);
  }
  record.openFiles = uint8_t(~ownFiles);
  record.passerCount = 0;
  record.passerFiles = 0;
  record.lightPawns = 0;
  mg = eg = 0;

  for (int n = base + PawnSlot; pos.pieceSquare[n] != NoSquare; ++n) {
    const int sq = pos.pieceSquare[n];
    if (sq & 0x88) continue;
    const int R = relativeSquare(side, sq);
    const int r = 7 - (R >> 4);
    const int file = fileOf(sq);
    if (isLightSquare(sq)) ++record.lightPawns;
    mg += tableAt(pawnSquareMg, R);
    eg += tableAt(pawnSquareEg, R);

    const bool defended = pawnOf(pos, sq - step - 1, side) || pawnOf(pos, sq - step + 1, side);
    const bool phalanx = pawnOf(pos, sq - 1, side) || pawnOf(pos, sq + 1, side);
    const int ahead = ranksAhead<side>(rankOf(sq));
    const int onFile = files.onFile(White, file) | files.onFile(Black, file);
    const bool pawnAhead = (onFile & ahead) != 0;
    const bool enemyAheadBeside =
        ((files.onFile(enemy, file - 1) | files.onFile(enemy, file + 1)) & ahead) != 0;

    if (defended && !enemyAheadBeside) mg += tableAt(pawnChainBonus, R);

    // Doubled: the front pawn of two on a file pays, unless another pawn defends it. The pawn
    // right behind it (of either colour) decides.
    const int behind = onFile & ranksBehind<side>(rankOf(sq));
    if (behind != 0 && !defended) {
      const int nearest =
          side == White ? 31 - __builtin_clz(unsigned(behind)) : __builtin_ctz(unsigned(behind));
      if (files.onFile(side, file) & (1 << nearest)) {
        mg += tableAt(doubledMg, R);
        eg += tableAt(doubledEg, R);
        if (!pawnAhead) mg += DoubledOpenMg;
      }
    }

    const bool isolated = (ownFiles & adjacentFiles(file)) == 0;
    const bool passed = !pawnAhead && !enemyAheadBeside;
    if (passed) {
      record.passers[record.passerCount++] = uint8_t(sq);
      record.passerFiles |= uint8_t(1 << file);
      mg += tableAt(passedMg, R);
      eg += tableAt(passedEg, R);
      if (phalanx) {
        mg += weight(passedPhalanxMg, r);
        eg += weight(passedPhalanxEg, r);
      }
      if (defended) {
        mg += weight(passedDefendedMg, r);
        eg += weight(passedDefendedEg, r);
      }
    }
    if (isolated) {
      mg += tableAt(isolatedMg, R);
      eg += tableAt(isolatedEg, R);
      if (!pawnAhead) {
        mg += IsolatedOpenMg;
        eg += IsolatedOpenEg;
      }
      continue;
    }
    if (passed) continue;

    if (!defended && isBackward(pos, side, sq, r)) {
      mg += tableAt(backwardMg, R);
      eg += tableAt(backwardEg, R);
      if (!pawnAhead) {
        mg += BackwardOpenMg;
        eg += BackwardOpenEg;
      }
    }
    if (!pawnAhead && isCandidate(pos, side, sq)) {
      mg += weight(candidateMg, r);
      eg += weight(candidateEg, r);
    }
  }
}

}  // namespace

void pawnStructure(const Position& pos, int side, PawnSide& record, Score& mg, Score& eg) {
  const PawnFiles files(pos);
  if (side == White)
    pawnStructureFor<White>(pos, files, record, mg, eg);
  else
    pawnStructureFor<Black>(pos, files, record, mg, eg);
}

void fillPawnEntry(PawnEntry& entry, const Position& pos, PawnValues& values) {
  entry.check = uint32_t(pos.pawnKey >> 32);
  Score mgW, egW, mgB, egB;
  const PawnFiles files(pos);
  pawnStructureFor<White>(pos, files, entry.side[White], mgW, egW);
  pawnStructureFor<Black>(pos, files, entry.side[Black], mgB, egB);
  values.mg = mgW - mgB;
  values.eg = egW - egB;
  entry.mg = int16_t(valueOf(values.mg));
  entry.eg = int16_t(valueOf(values.eg));

  for (int side = White; side <= Black; ++side) {
    const int stormer = side ^ 1;
    const int stormStep = pawnStep[stormer];
    Score shelter[3] = {0, 0, 0}, storm[3] = {0, 0, 0};
    for (int n = colourBase(side) + PawnSlot; pos.pieceSquare[n] != NoSquare; ++n) {
      const int sq = pos.pieceSquare[n];
      if (sq & 0x88) continue;
      for (int k = 0; k < 3; ++k) shelter[k] += tableAt(shelterTable[k], relativeSquare(side, sq));
    }
    for (int n = colourBase(stormer) + PawnSlot; pos.pieceSquare[n] != NoSquare; ++n) {
      const int sq = pos.pieceSquare[n];
      if (sq & 0x88) continue;
      for (int k = 0; k < 3; ++k) {
        Score v = tableAt(stormTable[k], relativeSquare(stormer, sq));
        if (v == 0) continue;
        // In contact with a shelter pawn it opens lines; blocked, it needs a neighbour to lever.
        if (pawnOf(pos, sq + stormStep - 1, side) || pawnOf(pos, sq + stormStep + 1, side)) {
          v += StormContact;
        } else if (anyPawn(pos, sq + stormStep)) {
          if (pawnOf(pos, sq - 1, stormer) || pawnOf(pos, sq + 1, stormer))
            v += StormLever;
          else
            v += StormBlocked;
        }
        storm[k] += v;
      }
    }
    for (int k = 0; k < 3; ++k) {
      values.shelter[side][k] = clampByte(shelter[k]);
      values.storm[side][k] = clampByte(storm[k]);
      entry.side[side].shelter[k] = int8_t(valueOf(values.shelter[side][k]));
      entry.side[side].storm[k] = int8_t(valueOf(values.storm[side][k]));
    }
  }
}

void fillPawnEntry(PawnEntry& entry, const Position& pos) {
  PawnValues values;
  fillPawnEntry(entry, pos, values);
}

PawnEntry& Evaluator::probePawnHash() {
  const Position& pos = *pos_;
  PawnEntry& entry = pawnHash_.slot(pos.pawnKey);
#ifdef MELVOK_EVAL_TRACE
  // The values must carry their traces: computed afresh every time.
  ++pawnHash_.misses;
  fillPawnEntry(entry, pos, pawnValues_);
#else
  if (entry.check != uint32_t(pos.pawnKey >> 32)) {
    ++pawnHash_.misses;
    fillPawnEntry(entry, pos);
  } else {
    ++pawnHash_.hits;
  }
#endif
  entry_ = &entry;
  return entry;
}

Score Evaluator::pawnScore() {
  probePawnHash();
  const Position& pos = *pos_;
  const int phase = std::min(64, pieceUnits(pos.material[White]) + pieceUnits(pos.material[Black]));
  const Score passedWhite = passedPawnTerm(White);
  const Score passedBlack = passedPawnTerm(Black);
  // The passers' dynamic terms count half in the middle game.
  return ((passedWhite / 2 + middleGame(pawnValues()) - passedBlack / 2) * phase +
          (passedWhite + endGame(pawnValues()) - passedBlack) * (64 - phase)) /
         64;
}

namespace {

// The bonus of a pawn that can promote, by the strongest piece that could still give itself up
// for it; 0 when the opponent has no piece at all (the pawn ending is left to the race).
Score promotionBonus(uint32_t opponentMaterial) {
  if (knightCount(opponentMaterial) + bishopCount(opponentMaterial) > 0) return PromotionVsMinor;
  if (rookCount(opponentMaterial) > 0) return PromotionVsRook;
  if (queenCount(opponentMaterial) > 0) return PromotionVsQueen;
  return 0;
}

// One side's passed-pawn term, one template instance per side.
template <int side>
Score passedPawnTermFor(const Position& pos, const PawnSide& record) {
  const int opponent = side ^ 1;
  const int step = pawnStep[side];
  const int ownKing = pos.kingSquare(side);
  const int enemyKing = pos.kingSquare(opponent);
  const uint32_t opponentMaterial = pos.material[opponent];
  Score total = 0;

  for (int i = 0; i < record.passerCount; ++i) {
    const int S = record.passers[i];
    const int T = S + step;
    const int r = relativeRank(side, S);
    const int blocker = pos.at(T);
    if (blocker == Empty) {
      if (r == 6) {
        const Move promotion = makeMoveWord(S, T) | (Move(Queen) << 24);
        const Score bonus = promotionBonus(opponentMaterial);
        if (staticExchange(pos, side, promotion) >= 0) {
          if (bonus != 0) {
            total += bonus;
            continue;
          }
        } else if (officerCount(opponentMaterial) == 1 && rankOf(ownKing) != rankOf(T) &&
                   distance(enemyKing, S) > 2) {
          // The promotion square is guarded by the lone piece: the own king escorts the pawn
          // when it stands next to it, or two files away on its rank with the move.
          const bool escorting =
              distance(ownKing, S) == 1 ||
              (rankOf(ownKing) == rankOf(S) && std::abs(fileOf(ownKing) - fileOf(S)) == 2 &&
               int(pos.sideToMove) == side);
          if (escorting) {
            total += bonus;
            continue;
          }
        }
      } else if (staticExchange(pos, side, makeMoveWord(S, T)) >= 0) {
        total += weight(passerFree, r);
      }
    } else if (colourOf(blocker) != side) {
      const int kind = tables.kindOfSlot[slotOf(blocker)];
      total += (kind == Knight || kind == Bishop) ? weight(passerBlockedByMinor, r)
                                                  : weight(passerBlocked, r);
    } else {
      total += weight(passerBlocked, r);
    }

    // By the kings' distances to the square in front, counted from two steps away.
    total += (distance(enemyKing, T) - 2) * weight(passerEnemyKing, r) +
             (2 - distance(ownKing, T)) * weight(passerOwnKing, r);

    for (int s = S - step; onBoard(s); s -= step) {
      const int piece = pos.at(s);
      if (piece == Empty) continue;
      const int kind = tables.kindOfSlot[slotOf(piece)];
      if (kind == Rook || kind == Queen)
        total +=
            colourOf(piece) == side ? weight(passerRookBehind, r) : -weight(passerRookBehind, r);
      break;
    }
  }
  return total;
}

}  // namespace

Score Evaluator::passedPawnTerm(int side) {
  const PawnSide& record = entry_->side[side];
  return side == White ? passedPawnTermFor<White>(*pos_, record)
                       : passedPawnTermFor<Black>(*pos_, record);
}

namespace {

// The attacker's king shut in the corner in front of its own rook pawn by the enemy king.
bool kingShutIn(int attacker, int ownKing, int enemyKing) {
  const int flip = attacker == White ? 0 : 0x70;  // Black's cases are White's with ranks mirrored
  const int k = ownKing ^ flip, e = enemyKing ^ flip;
  switch (k) {
    case 0x60:
      return e == 0x62;  // a7 against c7
    case 0x70:
      return e == 0x62 || e == 0x72;  // a8 against c7, c8
    case 0x67:
      return e == 0x65;  // h7 against f7
    case 0x77:
      return e == 0x65 || e == 0x75;  // h8 against f7, f8
    default:
      return false;
  }
}

[[noreturn]] void notReached() {
  std::printf("pawnevaluator(): not reached!\n");
  std::abort();
}

// Moves the passer on S needs to promote if the defending king cannot catch it (the rule of the
// square, counting the side to move and a first double step), or -1 when it can be stopped.
int unstoppableMoves(const Position& pos, int attacker, int S) {
  const int defender = attacker ^ 1;
  const int step = pawnStep[attacker];
  const int r = relativeRank(attacker, S);
  if (r < 1 || r > 6) notReached();
  int moves = r == 1 ? 5 : 7 - r;
  const int promotion = (attacker == White ? 0x70 : 0x00) | fileOf(S);
  const int ownKing = pos.kingSquare(attacker);
  for (int s = S + step;; s += step) {
    if (pos.at(s) != Empty) {
      // Only the own king may stand in the way: it steps aside at the cost of one move, unless
      // the enemy king keeps it shut in the corner.
      if (s != ownKing || kingShutIn(attacker, ownKing, pos.kingSquare(defender))) return -1;
      ++moves;
    }
    if (s == promotion) break;
  }
  const int tempo = int(pos.sideToMove) == defender ? 1 : 0;
  return distance(pos.kingSquare(defender), promotion) - tempo > moves ? moves : -1;
}

}  // namespace

Score Evaluator::pawnRace() {
  const Position& pos = *pos_;
  const bool whitePieces = officerCount(pos.material[White]) > 0;
  const bool blackPieces = officerCount(pos.material[Black]) > 0;
  if (whitePieces && blackPieces) return 0;

  int fastest[2] = {INT_MAX, INT_MAX};
  for (int attacker = White; attacker <= Black; ++attacker) {
    if (officerCount(pos.material[attacker ^ 1]) != 0) continue;  // pieces can stop a passer
    const PawnSide& record = entry_->side[attacker];
    for (int i = 0; i < record.passerCount; ++i) {
      const int moves = unstoppableMoves(pos, attacker, record.passers[i]);
      if (moves >= 0) fastest[attacker] = std::min(fastest[attacker], moves);
    }
  }
  if (fastest[White] == INT_MAX && fastest[Black] == INT_MAX) return 0;
  if (fastest[Black] == INT_MAX) return RaceWin - RacePerMove * fastest[White];
  if (fastest[White] == INT_MAX) return RacePerMove * fastest[Black] - RaceWin;

  // Both queen: the race is decided only when the loser still needs more than one move after the
  // winner has queened (otherwise queen faces queen). Compare in plies from now.
  const int whitePly = 2 * fastest[White] - (pos.sideToMove == White ? 1 : 0);
  const int blackPly = 2 * fastest[Black] - (pos.sideToMove == Black ? 1 : 0);
  if (whitePly + 2 < blackPly) return RaceWin - RacePerMove * fastest[White];
  if (blackPly + 2 < whitePly) return RacePerMove * fastest[Black] - RaceWin;
  return 0;
}

MELVOK_EVAL_END
