// The static evaluation: material, imbalance, pawns, king safety and pieces, then draw scaling
// for material that cannot win, and the bonus for the side to move.
#include <algorithm>
#include <cstdlib>

#include "board/rays.h"
#include "eval/eval_tables.h"
#include "eval/evaluator.h"

MELVOK_EVAL_BEGIN

namespace {

constexpr uint8_t kingSideRight(int side) { return side == White ? WhiteKingSide : BlackKingSide; }
constexpr uint8_t queenSideRight(int side) {
  return side == White ? WhiteQueenSide : BlackQueenSide;
}
inline int relativeRank(int side, int sq) { return side == White ? rankOf(sq) : 7 - rankOf(sq); }

// Board entries are 0 (empty), 64..127 (White), 128..191 (Black) or 0xC0 (guard): the top two
// bits tell them apart, and a pawn is one of the slots 8..15 of its colour.
inline bool isPieceOf(int piece, int side) { return (piece >> 6) == side + 1; }
inline bool isPawnOf(int piece, int side) { return (piece & 0xF8) == colourBase(side) + PawnSlot; }

inline bool pawnOf(const Position& pos, int sq, int side) { return isPawnOf(pos.at(sq), side); }
inline bool anyPawn(const Position& pos, int sq) { return isPawnPiece(pos.at(sq)); }
inline bool pieceOf(const Position& pos, int sq, int side) { return isPieceOf(pos.at(sq), side); }
inline int kindAt(const Position& pos, int sq) { return tables.kindOfSlot[slotOf(pos.at(sq))]; }

// Penalty for a king outside the span of files holding pawns, by its distance to the nearest.
Score spanPenalty(const int16_t (&table)[8], int files, int kingFile) {
  if (files == 0) return 0;
  const int low = __builtin_ctz(unsigned(files));
  const int high = 31 - __builtin_clz(unsigned(files));
  if (kingFile < low) return weight(table, low - kingFile);
  if (kingFile > high) return weight(table, kingFile - high);
  return 0;
}

// Whether a side's first bishop stands on a light square.
bool bishopOnLight(const Position& pos, int side) {
  for (int n = colourBase(side) + BishopSlot; pos.pieceSquare[n] != NoSquare; ++n) {
    const int sq = pos.pieceSquare[n];
    if (!(sq & 0x88)) return isLightSquare(sq);
  }
  return false;
}

// Whether a side's bishops stand on squares of both colours.
bool bishopsOnBothColours(const Position& pos, int side) {
  int colours = 0;
  for (int n = colourBase(side) + BishopSlot; pos.pieceSquare[n] != NoSquare; ++n) {
    const int sq = pos.pieceSquare[n];
    if (!(sq & 0x88)) colours |= isLightSquare(sq) ? 2 : 1;
  }
  return colours == 3;
}

}  // namespace

Evaluator::Evaluator(Position& pos) : pos_(&pos) {
  resizePawnHash(pawnHash_, PawnHash::DefaultEntries);
  clearCache();
}

void Evaluator::clearCache() {
  // An empty slot holds a key whose own slot lies elsewhere, so no position can match it.
  for (int i = 0; i < CacheEntries; ++i) cache_[i] = EvalCacheEntry{uint32_t(i + 2), 0, 0};
  for (ImbalanceCacheEntry& slot : imbalanceCache_) slot = ImbalanceCacheEntry{};
}

int Evaluator::evaluate() {
  ++calls;
  const Position& pos = *pos_;
  const uint32_t low = uint32_t(pos.hashKey), high = uint32_t(pos.hashKey >> 32);
  EvalCacheEntry& slot = cache_[(low + pos.sideToMove) & (CacheEntries - 1)];
  if (slot.keyLow == low && slot.keyHigh == high) {
    probePawnHash();  // the search relies on the pawn entry being current
    return slot.score;
  }
  const int score = valueOf(compute());
  slot = EvalCacheEntry{low, high, score};
  return score;
}

Score Evaluator::imbalance(uint32_t white, uint32_t black) {
#ifdef MELVOK_EVAL_TRACE
  return materialImbalance(white, black);  // a remembered number would lose its trace
#else
  const uint64_t key = (uint64_t(white) << 32) | black;
  static_assert(ImbalanceEntries == 256, "the index is the top byte of the mixed key");
  ImbalanceCacheEntry& slot = imbalanceCache_[(key * 0x9E3779B97F4A7C15ull) >> 56];
  if (slot.white != white || slot.black != black)
    slot = ImbalanceCacheEntry{white, black, materialImbalance(white, black)};
  return slot.value;
#endif
}

int Evaluator::evaluateUncached() {
  ++calls;
  return valueOf(compute());
}

#ifdef MELVOK_EVAL_TRACE
TracedScore Evaluator::trace() {
  ++calls;
  return compute();
}
#endif

Score Evaluator::compute() {
  const Position& pos = *pos_;
  const uint32_t W = pos.material[White], B = pos.material[Black];
  const int wp = pawnCount(W), bp = pawnCount(B), wu = pieceUnits(W), bu = pieceUnits(B);

  // Each term on its own line: the pawn score probes the pawn hash the others read.
  Score score = PawnValue * (wp - bp) + KnightValue * (knightCount(W) - knightCount(B)) +
                BishopValue * (bishopCount(W) - bishopCount(B)) +
                RookValue * (rookCount(W) - rookCount(B)) +
                QueenValue * (queenCount(W) - queenCount(B));
  score += imbalance(W, B);
  score += pawnScore();
  score += pawnRace();
  score += kingScore(White) - kingScore(Black);
  score += pieceScore(White) - pieceScore(Black);

  // Scale for material that cannot (or can hardly) win.
  Score scale = 1024;
  const bool sameQueenPresence = (queenCount(W) > 0) == (queenCount(B) > 0);
  const bool fewPieces = officerCount(W) <= 2 && officerCount(B) <= 2;
  if (wp > 0 && bp > 0) {
    const bool loneQueens = wu == 10 && queenCount(W) == 1 && bu == 10 && queenCount(B) == 1;
    if (loneQueens && wp == bp) scale = at(queenEndingScale, wp);
  } else if (wp > 0) {
    // Black is ahead in pieces but has no pawns to win with.
    if (score < 0 && fewPieces && sameQueenPresence && bu - wu < 4) scale = DrawishScale;
    // One pawn against a minor piece that can give itself up for it.
    if (score > 0 && wp == 1 && knightCount(B) + bishopCount(B) > 0 && wu <= bu)
      scale = LonePawnScale;
  } else if (bp > 0) {
    if (score > 0 && fewPieces && sameQueenPresence && wu - bu < 4) scale = DrawishScale;
    if (score < 0 && bp == 1 && knightCount(W) + bishopCount(W) > 0 && bu <= wu)
      scale = LonePawnScale;
  } else if (fewPieces && sameQueenPresence && std::abs(wu - bu) <= 3) {
    scale = DrawishScale;
  } else if ((officerCount(W) == 0 && bu == 6) || (officerCount(B) == 0 && wu == 6)) {
    const int strong = wu == 6 ? White : Black;
    const int bishops = bishopCount(pos.material[strong]);
    if (bishops == 0) return 0;  // two knights cannot force mate
    if (bishops == 2 && !bishopsOnBothColours(pos, strong)) scale = SameBishopsScale;
  }

  // Rook pawns: the defending king in front of them draws, also against a bishop of the wrong
  // colour (one that cannot drive the king from the promotion corner).
  const int strong = score > 0 ? White : score < 0 ? Black : -1;
  if (strong >= 0) {
    const uint32_t m = pos.material[strong];
    const int pieces = officerCount(m);
    const PawnSide& record = entry_->side[strong];
    const int pawnFiles = ~record.openFiles & 0xFF;
    if ((pieces == 0 || (pieces == 1 && bishopCount(m) == 1)) &&
        (pawnFiles == 0x01 || pawnFiles == 0x80) && record.passerCount > 0) {
      const int file = pawnFiles == 0x01 ? 0 : 7;
      const int defendingKing = pos.kingSquare(strong ^ 1);
      if (std::abs(fileOf(defendingKing) - file) <= 1 &&
          relativeRank(strong, defendingKing) >= relativeRank(strong, record.passers[0])) {
        if (pieces == 0) return 0;
        const int promotion = file | (strong == White ? 0x70 : 0x00);
        if (bishopOnLight(pos, strong) != isLightSquare(promotion)) return 0;
      }
    }
  }

  // Rook endings and opposite-coloured bishops are hard to win even with extra pawns.
  if (wu == 5 && bu == 5 && rookCount(W) == 1 && rookCount(B) == 1 && std::abs(wp - bp) <= 1)
    scale = weight(rookEndingScale, wp + bp);
  if (wu == 3 && bu == 3 && bishopCount(W) == 1 && bishopCount(B) == 1 &&
      bishopOnLight(pos, White) != bishopOnLight(pos, Black))
    scale = OppositeBishopsPerPawn * (wp + bp) + OppositeBishopsBase;

  const Score own = pos.sideToMove == Black ? -score : score;
  return (own + TempoBonus) * scale / 1024;
}

namespace {

// The attack potential of one bishop, rook or queen of `attacker` standing on `from` against the
// king on K: a slider right next to the king's area counts in full; one that stands roughly in
// line with it walks its line toward the king, paying for every piece in the way.
template <int Kind, int attacker>
Score sliderPotential(const Position& pos, int K, int from) {
  const ScalarWeight& pieceWeight = Kind == Bishop ? KingAttackBishop
                                    : Kind == Rook ? KingAttackRook
                                                   : KingAttackQueen;
  const KingAttackTables& t = kingAttack;
  const int side = attacker ^ 1;  // the defender
  const int P = pawnStep[attacker];
  const int i = kingAttackIndex(K, from);
  const int direct = Kind == Bishop ? t.bishopLine[i]
                     : Kind == Rook ? t.rookLine[i]
                                    : t.queenLine[i];
  if (direct != 0) return pieceWeight * direct;
  const int step = Kind == Bishop ? t.bishopStep[i] : Kind == Rook ? t.rookStep[i] : t.queenStep[i];
  const int length = Kind == Bishop ? t.bishopWalk[i]
                     : Kind == Rook ? t.rookWalk[i]
                                    : t.queenWalk[i];
  if (length == 0)
    return 0;  // no walk, or one that passes the king's area by and runs off the board
  // The walk ends on `last`. Beyond the board edge it runs off first; otherwise every square on
  // the way lies on the board too.
  const int last = from + length * step;
  if (last & 0x88) return 0;

  auto defenderPawnsBeside =
      [&](int sq) {  // defender pawns guarding sq (they stand on sq + P +- 1)
        return pawnOf(pos, sq + P - 1, side) + pawnOf(pos, sq + P + 1, side);
      };

  Score c = 0;
  for (int sq = from + step;; sq += step) {
    const int piece = pos.at(sq);
    if (piece != Empty) {
      const bool pawn = isPawnPiece(piece);
      if (colourOf(piece) == attacker) {
        if (Kind == Bishop) {
          if (pawn) {
            if (pos.at(sq + P) != Empty) return 0;
            c += WalkOwnPawnOnDiagonal;
          } else {
            c += WalkOwnPieceOnDiagonal;
          }
        } else if (pawn) {
          // The attacker's own pawn on a rook or queen line.
          c += WalkOwnPawnOnLine;
          // A lever against a defender pawn opens the line.
          if (!(pawnOf(pos, sq + P - 1, side) || pawnOf(pos, sq + P + 1, side))) {
            if (pos.at(sq + P) != Empty) {
              if (pawnOf(pos, sq + P, side)) return 0;  // rammed: the line stays shut
              c += WalkPawnToLever;
            }
            // It can still advance to meet a defender pawn.
            if (!(pawnOf(pos, sq + 2 * P - 1, side) || pawnOf(pos, sq + 2 * P + 1, side))) return 0;
          }
        } else {
          const int kind = kindAt(pos, sq);
          if (kind == Rook || kind == Queen)
            c += WalkBattery;
          else
            c += WalkOwnPieceOnLine;
        }
      } else if (Kind == Bishop) {
        c += WalkEnemyPiece;
        if (pawn)
          c += WalkGuardingPawn * defenderPawnsBeside(sq);
        else if (kindAt(pos, sq) == Bishop)
          c += WalkEnemyBishopOnDiagonal;
      } else if (Kind == Rook) {
        if (!(pawnOf(pos, sq - P - 1, attacker) || pawnOf(pos, sq - P + 1, attacker))) {
          c += WalkEnemyPiece + WalkGuardingPawn * defenderPawnsBeside(sq);
          if (pawn) c += WalkEnemyPawnOnLine;
        }
        if (kindAt(pos, sq) == Rook) c += WalkEnemyRookOnLine;
      } else {
        c += WalkQueenEnemyPiece + WalkQueenGuardingPawn * defenderPawnsBeside(sq);
      }
    }
    if (sq != last) continue;
    const int j = kingAttackIndex(K, sq);
    const int line = Kind == Bishop ? t.bishopLine[j] : t.rookLine[j];
    const bool straight = step == directionOf(K - sq);
    Score v = line;
    if (straight) v += WalkStraight;
    if (Kind == Bishop && kindAt(pos, sq) != Bishop) v += WalkBishopEndFree;
    if (Kind == Rook && kindAt(pos, sq) == Rook) v += WalkRookEndOnRook;
    if (Kind == Queen && piece == Empty) v += WalkQueenEmptyEnd;
    return v > c ? pieceWeight * (v - c) : Score(0);
  }
}

template <int Kind, int attacker>
Score slidersPotential(const Position& pos, int K) {
  Score A = 0;
  for (int n = colourBase(attacker) + kindFirstSlot[Kind]; pos.pieceSquare[n] != NoSquare; ++n) {
    const int from = pos.pieceSquare[n];
    if (!(from & 0x88)) A += sliderPotential<Kind, attacker>(pos, K, from);
  }
  return A;
}

// The attack potential of `side`'s opponent against `side`'s king on K.
template <int side>
Score attackPotential(const Position& pos, int K) {
  constexpr int attacker = side ^ 1;
  const KingAttackTables& t = kingAttack;
  Score A = 0;
  for (int n = colourBase(attacker) + KnightSlot; pos.pieceSquare[n] != NoSquare; ++n) {
    const int sq = pos.pieceSquare[n];
    if (!(sq & 0x88)) A += KingAttackKnight * t.knightTropism[kingAttackIndex(K, sq)];
  }
  A += slidersPotential<Bishop, attacker>(pos, K);
  A += slidersPotential<Rook, attacker>(pos, K);
  A += slidersPotential<Queen, attacker>(pos, K);
  return A;
}

}  // namespace

// The terms called on their own (by tests and tools) make sure the pawn entry is current first;
// compute() has just probed it.
void Evaluator::ensurePawnEntry() {
  const Position& pos = *pos_;
  if (entry_ == nullptr || entry_ != &pawnHash_.slot(pos.pawnKey) ||
      entry_->check != uint32_t(pos.pawnKey >> 32))
    probePawnHash();
}

Score Evaluator::kingTerm(int side) {
  ensurePawnEntry();
  return kingScore(side);
}

Score Evaluator::pieceTerm(int side) {
  ensurePawnEntry();
  return pieceScore(side);
}

namespace {

// The king-danger penalty: the excess over the thresholds times the attack's strength f (0..8)
// out of 8, times the weight out of 32. No factor is ever negative, so the engine divides
// without sign.
#ifdef MELVOK_EVAL_TRACE
Score dangerPenalty(const Score& excess, int f) { return excess * f / 8 * KingDangerWeight / 32; }
#else
inline int dangerPenalty(int excess, int f) {
  return int((unsigned(excess * f) / 8 * KingDangerWeight) / 32);
}
#endif

// One side's king term, one template instance per side like the piece term. The pawn values
// come from the pawn entry, or in the tuning build from their traced copy.
template <int side, class Values>
Score kingScoreFor(const Position& pos, const PawnEntry& entry, const Values& values) {
  const int opponent = side ^ 1;
  const int K = pos.kingSquare(side);
  const int kingFile = fileOf(K);
  const int rel = relativeSquare(side, K);
  const int zone = kingZoneOfFile(kingFile);
  const PawnSide& own = entry.side[side];
  const PawnSide& enemy = entry.side[opponent];
  const Score shelter = shelterOf(values, side, zone), storm = stormOf(values, side, zone);
  const uint32_t opponentMaterial = pos.material[opponent];
  const int U = pieceUnits(opponentMaterial), Q = queenCount(opponentMaterial);
  Score sum = 0;

  if (pawnCount(pos.material[side]) > 0)
    sum -= spanPenalty(kingPawnSpan, ~own.openFiles & 0xFF, kingFile);

  if (U > 10) {
    const Score D = attackPotential<side>(pos, K) / 4 + tableAt(kingDanger, rel);
    Score X = ((storm + KingShelterBase - shelter) * D) / 16 + D;
    if (int(pos.sideToMove) == side) X += KingDangerToMove;
    Score excess = 0;
    for (int i = 0; i < 8; ++i) {
      const Score threshold = weight(kingDangerThresholds, i);
      if (X > threshold) excess += X - threshold;
    }
    const int f = std::clamp(8 * Q + U - 16, 0, 8);
    sum -= dangerPenalty(excess, f);

    if (U > 12) {
      // With heavy material about, a king wants pawns in front of it, or the right to castle
      // behind a better shelter.
      Score shield = shelter - storm;
      const int front = K + pawnStep[side];
      if (pieceOf(pos, front, side) && kindAt(pos, front) == Bishop) shield += ShieldBishopInFront;
      const int rankBase = K & 0x70;
      Score shieldK = shield, shieldQ = shield;
      if (pos.castleRights & kingSideRight(side)) {
        Score ks = shelterOf(values, side, 2) - stormOf(values, side, 2) - CastlingShieldCost;
        for (int f2 = kingFile + 1; f2 <= 6; ++f2)
          if (pos.at(rankBase | f2) != Empty) ks -= CastlingPathPiece;
        shieldK = std::max(ks, shield);
      }
      if (pos.castleRights & queenSideRight(side)) {
        Score qs = shelterOf(values, side, 0) - stormOf(values, side, 0) - CastlingShieldCost;
        for (int f2 = 1; f2 < kingFile; ++f2)
          if (pos.at(rankBase | f2) != Empty) qs -= CastlingPathPiece;
        shieldQ = std::max(qs, shield);
      }
      sum += -(U * KingShieldWeight * (KingShieldBase - (shieldK + shieldQ) / 2)) / 32;
      if (U != 13) return sum;
    }
  }

  if (pawnCount(opponentMaterial) > 0)
    sum -= spanPenalty(kingFileDistance, ~enemy.openFiles & 0xFF, kingFile);
  return at(kingScaleByPawns, pawnCount(opponentMaterial)) * at(kingScaleByUnits, U) *
         (sum + tableAt(kingSquareTable, rel)) / 256;
}

}  // namespace

Score Evaluator::kingScore(int side) {
  return side == White ? kingScoreFor<White>(*pos_, *entry_, pawnValues())
                       : kingScoreFor<Black>(*pos_, *entry_, pawnValues());
}

namespace {

// A slider's empty squares along its lines, and the first pieces on them that are enemies worth
// attacking.
template <int... Dirs, typename Worth>
inline void lineMobility(const Position& pos, int sq, Worth worthAttacking, int& free,
                         int& attacks) {
  auto along = [&](RayHit hit) {
    free += hit.empty;
    attacks += worthAttacking(hit.square, hit.piece);
  };
  (along(firstOnRay<Dirs>(pos, sq)), ...);
}

// One side's piece term. The side is a template argument: its steps, squares and piece numbers
// become constants.
template <int side>
Score pieceScoreFor(const Position& pos, const PawnEntry& entry) {
  const int opponent = side ^ 1;
  const int base = colourBase(side);
  const int step = pawnStep[side];
  const int enemyKing = pos.kingSquare(opponent);
  const int enemyKingRank = relativeRank(side, enemyKing);
  const int phase = std::min(32, pieceUnits(pos.material[opponent]));
  const int opponentPawns = pawnCount(pos.material[opponent]);
  // The piece tables are read file-mirrored when the enemy king stands on a1..d1.
  const int fileMirror = enemyKing <= 3 ? 7 : 0;
  auto rel = [&](int sq) { return relativeSquare(side, sq) ^ fileMirror; };
  const int flip = side == White ? 0 : 0x70;  // trap squares are written from White's side

  // An enemy piece (the board entry `piece` on sq) worth attacking: anything but a pawn that
  // another pawn defends.
  auto attackedEnemy = [&](int sq, int piece) {
    if (!isPieceOf(piece, opponent)) return false;
    if (!isPawnPiece(piece)) return true;
    const int behind = sq + step;  // the enemy pawn's defenders stand beside the square behind it
    return !(pawnOf(pos, behind - 1, opponent) || pawnOf(pos, behind + 1, opponent));
  };

  Score mg = 0, eg = 0, u = 0;

  for (int n = base + KnightSlot; pos.pieceSquare[n] != NoSquare; ++n) {
    const int sq = pos.pieceSquare[n];
    if (sq & 0x88) continue;
    const int R = rel(sq);
    u += opponentPawns * tableAt(knightSquareTable, R) / 8;
    int free = 0, attacks = 0;
#pragma GCC unroll 8
    for (int jump : knightSteps) {
      const int piece = pos.at(sq + jump);
      if (piece == Empty)
        ++free;
      else if (attackedEnemy(sq + jump, piece))
        ++attacks;
    }
    mg += weight(knightMobilityMg, free) + weight(knightAttacksMg, attacks);
    eg += weight(knightMobilityEg, free) + weight(knightAttacksEg, attacks);
    if (pawnOf(pos, sq + step, side)) u += tableAt(knightBehindPawn, R);
    if (pawnOf(pos, sq + 3 * step, opponent)) u += tableAt(knightPawnAhead, R);
    // A knight deep in the enemy corner that pawns cut off.
    const int s = sq ^ flip;
    if (s >= 0x60) {  // the corner squares lie on the enemy's last two ranks
      auto p = [&](int square) { return anyPawn(pos, square ^ flip); };
      const bool trapped = (s == 0x60 && ((p(0x50) && p(0x61)) || p(0x52))) ||  // a7: a6+b7 or c6
                           (s == 0x67 && ((p(0x57) && p(0x66)) || p(0x55))) ||  // h7: h6+g7 or f6
                           (s == 0x70 && p(0x62)) ||                            // a8: c7
                           (s == 0x77 && p(0x65));                              // h8: f7
      if (trapped) u -= TrappedMinorPenalty;
    }
  }

  for (int n = base + BishopSlot; pos.pieceSquare[n] != NoSquare; ++n) {
    const int sq = pos.pieceSquare[n];
    if (sq & 0x88) continue;
    int free = 0, attacks = 0;
    lineMobility<17, 15, -17, -15>(pos, sq, attackedEnemy, free, attacks);
    u += tableAt(bishopSquareTable, rel(sq)) + at(bishopMobility, free);
    mg += weight(bishopAttacksMg, attacks);
    eg += weight(bishopAttacksEg, attacks);
    // The bishop that took a rook pawn and is shut in by a pawn advance (an enemy pawn: own pawns
    // can move away).
    const int s = sq ^ flip;
    if (s >= 0x60) {
      auto e = [&](int square) { return pawnOf(pos, square ^ flip, opponent); };
      const bool trapped = (s == 0x60 && e(0x51)) || (s == 0x67 && e(0x56)) ||  // a7: b6, h7: g6
                           (s == 0x70 && e(0x52)) || (s == 0x77 && e(0x55));    // a8: c6, h8: f6
      if (trapped) u -= TrappedMinorPenalty;
    }
  }

  const PawnSide& own = entry.side[side];
  const PawnSide& enemy = entry.side[opponent];
  for (int n = base + RookSlot; pos.pieceSquare[n] != NoSquare; ++n) {
    const int sq = pos.pieceSquare[n];
    if (sq & 0x88) continue;
    int free = 0, attacks = 0;
    lineMobility<1, 16, -1, -16>(pos, sq, attackedEnemy, free, attacks);
    mg += at(rookMobilityMg, free) + weight(rookAttacksMg, attacks);
    eg += at(rookMobilityEg, free) + weight(rookAttacksEg, attacks);
    const int fileBit = 1 << fileOf(sq);
    if (own.openFiles & fileBit) {
      if (enemy.openFiles & fileBit)
        u += at(rookOpenFile, __builtin_popcount(own.openFiles & enemy.openFiles));
      else
        u += at(rookHalfOpenFile, __builtin_popcount(own.openFiles));
    }
    if (relativeRank(side, sq) >= 6) {
      if (enemyKingRank == 6) u += RookSeventhKingSeventh;
      if (enemyKingRank == 7) mg += RookSeventhKingBackMg, eg += RookSeventhKingBackEg;
    }
  }

  for (int n = base + QueenSlot; pos.pieceSquare[n] != NoSquare; ++n) {
    const int sq = pos.pieceSquare[n];
    if (sq & 0x88) continue;
    mg += tableAt(queenSquareMg, rel(sq));
    eg += tableAt(queenSquareEg, rel(sq));
    u += QueenNearKing - QueenKingDistance * distance(sq, enemyKing);
    if (relativeRank(side, sq) == 6) {
      if (enemyKingRank == 7) mg += QueenSeventhKingBackMg, eg += QueenSeventhKingBackEg;
      if (enemyKingRank == 6) u += QueenSeventhKingSeventh;
    }
  }

  // A rook shut in beside its king on the back rank by a king that can no longer castle.
  const int K = pos.kingSquare(side);
  const int kingFile = fileOf(K);
  const int pawnFiles = ~own.openFiles & 0xFF;
  auto ownRook = [&](int sq) {
    return onBoard(sq) && pieceOf(pos, sq, side) && kindAt(pos, sq) == Rook;
  };
  if (relativeRank(side, K) == 0) {
    int dir = 0;
    if ((kingFile == 5 || kingFile == 6) && !(pos.castleRights & kingSideRight(side)) &&
        (pawnFiles & 0xC0) == 0xC0)
      dir = 1;
    else if ((kingFile == 1 || kingFile == 2) && !(pos.castleRights & queenSideRight(side)) &&
             (pawnFiles & 0x03) == 0x03)
      dir = -1;
    if (dir != 0 && (ownRook(K + dir) || ownRook(K + 2 * dir) || ownRook(K + dir + step) ||
                     ownRook(K + 2 * dir + step)))
      u -= TrappedRookPenalty;
  }

  return ((32 - phase) * eg + phase * mg) / 32 + u;
}

}  // namespace

Score Evaluator::pieceScore(int side) {
  return side == White ? pieceScoreFor<White>(*pos_, *entry_)
                       : pieceScoreFor<Black>(*pos_, *entry_);
}

MELVOK_EVAL_END
