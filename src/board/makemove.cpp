#include "board/makemove.h"

#include "base/log.h"
#include "board/movegen.h"
#include "board/rays.h"

namespace {

// Line bits (0x10 diagonal, 0x20 orthogonal) of a slider line through the difference.
inline int lineBits(int diff) { return attackMaskOf(diff) & 0x30; }

// First occupied square from `sq` (exclusive) in direction `dir`.
inline int firstPieceFrom(const Position& pos, int sq, int dir) {
  do sq += dir;
  while (pos.at(sq) == Empty);
  return sq;
}

// Whether a slider of `side` now sees `king` through the empty square `through`, coming
// from the far side: the discovered-check test after a piece left `through`.
bool discoversCheck(const Position& pos, int side, int king, int through, int to) {
  int line = lineBits(through - king);
  if (!line || directionOf(to - king) == directionOf(through - king)) return false;
  int sq = firstPieceFrom(pos, king, directionOf(through - king));
  int piece = pos.at(sq);
  return (tables.pieceMask[piece] & line) && (piece & 0xC0) == colourBase(side);
}

// Check flags for the piece of `side` that stands on `sq`, against the enemy king.
Move directCheck(const Position& pos, int sq, int enemyKing) {
  int piece = pos.at(sq);
  int diff = enemyKing - sq;
  if ((tables.pieceMask[piece] & attackMaskOf(diff) & 0x3F) == 0) return 0;
  if (!(piece & 0x20)) return MoveDirectCheck;  // pawn, knight or king
  return firstPieceFrom(pos, sq, directionOf(diff)) == enemyKing ? MoveDirectCheck : 0;
}

void loseRights(Position& pos, uint8_t keep) {
  uint8_t lost = pos.castleRights & uint8_t(~keep);
  if (lost) {
    pos.hashKey ^= tables.castleKeys[lost];
    pos.castleRights ^= lost;
  }
}

void clearEpSquare(Position& pos) {
  if (pos.epSquare) {
    pos.hashKey ^= zobrist[pos.epSquare];
    pos.epSquare = 0;
  }
}

Move makePromotion(Position& pos, Move m, int from, int to, int side) {
  int captured = moveCaptured(m);
  if (captured) {
    pos.pieceSquare[captured] += 0x80;
    pos.hashKey ^= pieceKey(captured, to);
    loseRights(pos, pos.castle.mask[from] & pos.castle.mask[to]);
    pos.material[side ^ 1] -= tables.materialOf[slotOf(captured)];
  }
  pos.lastIrreversible = uint16_t(pos.ply);
  int pawn = pos.at(from);
  pos.hashKey ^= pieceKey(pawn, from);
  pos.pawnKey ^= pieceKey(pawn, from);
  pos.promotedPawns[pos.promotedCount++] = uint8_t(pawn);
  pos.pieceSquare[pawn] += 0x80;

  int kind = movePromotion(m);
  int piece = colourBase(side) + kindFirstSlot[kind];
  while (pos.pieceSquare[piece] != NoSquare) piece++;
  pos.pieceSquare[piece] = uint8_t(to);
  pos.pieceSquare[piece + 1] = NoSquare;
  pos.at(to) = uint8_t(piece);
  pos.at(from) = Empty;
  pos.occupied = (pos.occupied & ~squareBit(from)) | squareBit(to);
  pos.hashKey ^= pieceKey(piece, to);
  pos.material[side] += tables.materialOf[slotOf(piece)] - 0x100;
  clearEpSquare(pos);
  return m;
}

Move makeCastling(Position& pos, Move m, int from, int to, int side) {
  bool queenSide = fileOf(to) < 5;
  int rank = rankOf(from);
  int rookFrom = squareOf(queenSide ? pos.castle.queenRookFile : pos.castle.kingRookFile, rank);
  int rookTo = queenSide ? to + 1 : to - 1;
  int rook = pos.at(rookFrom);
  int king = pos.at(from);
  // Lift the rook so that it neither blocks nor is counted on the king's path.
  pos.at(rookFrom) = Empty;
  int low = from <= to ? from : to;
  int high = from <= to ? to : from - 1;
  for (int sq = low; sq <= high; sq++)
    if (isAttacked(pos, side ^ 1, sq)) {
      pos.at(rookFrom) = uint8_t(rook);
      pos.ply--;
      return 0;
    }
  loseRights(pos, pos.castle.mask[from]);
  pos.hashKey ^= pieceKey(king, from) ^ pieceKey(king, to);
  if (rookFrom != rookTo) pos.hashKey ^= pieceKey(rook, rookFrom) ^ pieceKey(rook, rookTo);
  // Empty both origins before placing: in Chess960 king and rook may swap or share squares.
  pos.at(from) = Empty;
  pos.at(to) = uint8_t(king);
  pos.at(rookTo) = uint8_t(rook);
  pos.occupied =
      (pos.occupied & ~(squareBit(from) | squareBit(rookFrom))) | squareBit(to) | squareBit(rookTo);
  pos.pieceSquare[king] = uint8_t(to);
  pos.pieceSquare[rook] = uint8_t(rookTo);
  clearEpSquare(pos);
  pos.sideToMove ^= 1;
  return m | directCheck(pos, rookTo, pos.kingSquare(side ^ 1));
}

Move makeEnPassant(Position& pos, Move m, int from, int to, int side) {
  int capturedSquare = to ^ 16;
  int captured = pos.at(capturedSquare);
  int pawn = pos.at(from);
  pos.at(capturedSquare) = Empty;
  pos.at(from) = Empty;
  pos.at(to) = uint8_t(pawn);
  // Removing two pawns from one rank (or the captured pawn from a diagonal) can uncover the
  // king; the full attack test is cheap for this rare move and covers every such line.
  if (isAttacked(pos, side ^ 1, pos.kingSquare(side))) {
    pos.at(to) = Empty;
    pos.at(from) = uint8_t(pawn);
    pos.at(capturedSquare) = uint8_t(captured);
    pos.ply--;
    return 0;
  }
  pos.occupied = (pos.occupied & ~(squareBit(from) | squareBit(capturedSquare))) | squareBit(to);
  pos.pieceSquare[captured] += 0x80;
  pos.pieceSquare[pawn] = uint8_t(to);
  uint64_t pawnDelta =
      pieceKey(captured, capturedSquare) ^ pieceKey(pawn, from) ^ pieceKey(pawn, to);
  pos.hashKey ^= pawnDelta;
  pos.pawnKey ^= pawnDelta;
  clearEpSquare(pos);
  pos.material[side ^ 1] -= 0x100;
  pos.lastIrreversible = uint16_t(pos.ply);
  pos.sideToMove ^= 1;

  int enemyKing = pos.kingSquare(side ^ 1);
  if (discoversCheck(pos, side, enemyKing, from, to)) m |= MoveDiscoveredCheck;
  m |= directCheck(pos, to, enemyKing);
  if (discoversCheck(pos, side, enemyKing, capturedSquare, to)) m |= MoveDirectCheck;
  return m;
}

}  // namespace

namespace {
Move makeMoveUnrecorded(Position& pos, Move m);
}

Move makeMove(Position& pos, Move m) {
  Move made = makeMoveUnrecorded(pos, m);
  if (made) pos.moveHistory[pos.ply - 1] = made;
  return made;
}

namespace {

Move makeMoveUnrecorded(Position& pos, Move m) {
  const int from = moveFrom(m), to = moveTo(m);
  const int side = int(pos.sideToMove);
  pos.moveHistory[pos.ply] = m;
  pos.keyHistory[pos.ply] = pos.hashKey;
  pos.ply++;

  if (m & MoveSpecial) {
    if (m & MoveCastle) return makeCastling(pos, m, from, to, side);
    if (m & MoveEnPassant) return makeEnPassant(pos, m, from, to, side);
    m = makePromotion(pos, m, from, to, side);
  } else {
    int piece = pos.at(from);
    loseRights(pos, pos.castle.mask[from] & pos.castle.mask[to]);
    clearEpSquare(pos);
    int captured = moveCaptured(m);
    if (captured) {
      pos.pieceSquare[captured] += 0x80;
      pos.lastIrreversible = uint16_t(pos.ply);
      pos.hashKey ^= pieceKey(captured, to);
      if (isPawnPiece(captured)) pos.pawnKey ^= pieceKey(captured, to);
      pos.material[side ^ 1] -= tables.materialOf[slotOf(captured)];
    }
    uint64_t delta = pieceKey(piece, from) ^ pieceKey(piece, to);
    pos.hashKey ^= delta;
    if (isPawnPiece(piece)) {
      pos.pawnKey ^= delta;
      pos.lastIrreversible = uint16_t(pos.ply);
      if (m & MoveDoublePush) {
        // Only a square an enemy pawn can capture onto counts as an en-passant square.
        uint8_t enemyPawn = side == White ? 0x82 : 0x41;
        if (tables.pieceMask[pos.at(to - 1)] == enemyPawn ||
            tables.pieceMask[pos.at(to + 1)] == enemyPawn) {
          pos.epSquare = uint8_t(to ^ 16);
          pos.hashKey ^= zobrist[pos.epSquare];
        }
      }
    }
    pos.at(to) = uint8_t(piece);
    pos.pieceSquare[piece] = uint8_t(to);
    pos.at(from) = Empty;
    pos.occupied = (pos.occupied & ~squareBit(from)) | squareBit(to);
  }

  pos.sideToMove ^= 1;
  int enemyKing = pos.kingSquare(side ^ 1);
  if (discoversCheck(pos, side, enemyKing, from, to)) m |= MoveDiscoveredCheck;
  return m | directCheck(pos, to, enemyKing);
}

}  // namespace

void unmakeSpecial(Position& pos, Move m) {
  const int from = moveFrom(m), to = moveTo(m);
  const int side = int(pos.sideToMove);
  if (m & MoveEnPassant) {
    int captured = moveCaptured(m);
    int pawn = pos.at(to);
    pos.at(to ^ 16) = uint8_t(captured);
    pos.pieceSquare[captured] += 0x80;
    pos.at(from) = uint8_t(pawn);
    pos.pieceSquare[pawn] = uint8_t(from);
    pos.at(to) = Empty;
    pos.material[side ^ 1] += 0x100;
  } else if (m & MoveCastle) {
    bool queenSide = fileOf(to) < 5;
    int rookFrom =
        squareOf(queenSide ? pos.castle.queenRookFile : pos.castle.kingRookFile, rankOf(from));
    int rookTo = queenSide ? to + 1 : to - 1;
    int king = pos.at(to), rook = pos.at(rookTo);
    pos.at(to) = Empty;
    pos.at(rookTo) = Empty;
    pos.at(from) = uint8_t(king);
    pos.at(rookFrom) = uint8_t(rook);
    pos.pieceSquare[king] = uint8_t(from);
    pos.pieceSquare[rook] = uint8_t(rookFrom);
  } else {
    int promoted = pos.at(to);
    pos.pieceSquare[promoted] = NoSquare;
    pos.material[side] += 0x100 - tables.materialOf[slotOf(promoted)];
    int pawn = pos.promotedPawns[--pos.promotedCount];
    pos.at(from) = uint8_t(pawn);
    pos.pieceSquare[pawn] += 0x80;
    int captured = moveCaptured(m);
    pos.at(to) = uint8_t(captured);
    if (captured) {
      pos.pieceSquare[captured] += 0x80;
      pos.material[side ^ 1] += tables.materialOf[slotOf(captured)];
    }
  }
}

void unmakeMove(Position& pos, Move m, const UndoInfo& undo) {
  pos.sideToMove ^= 1;
  pos.epSquare = undo.epSquare;
  pos.castleRights = undo.castleRights;
  pos.lastIrreversible = undo.lastIrreversible;
  pos.pawnKey = undo.pawnKey;
  pos.occupied = undo.occupied;
  pos.ply--;
  pos.hashKey = pos.keyHistory[pos.ply];
  if (m & MoveSpecial) {
    unmakeSpecial(pos, m);
    return;
  }
  const int from = moveFrom(m), to = moveTo(m);
  int piece = pos.at(to);
  pos.at(from) = uint8_t(piece);
  pos.pieceSquare[piece] = uint8_t(from);
  int captured = moveCaptured(m);
  pos.at(to) = uint8_t(captured);
  if (captured) {
    pos.pieceSquare[captured] += 0x80;
    pos.material[pos.sideToMove ^ 1] += tables.materialOf[slotOf(captured)];
  }
}

bool isAttacked(const Position& pos, int side, int sq) {
  const uint8_t* squares = pos.pieceSquare + colourBase(side);
  if (attackMaskOf(sq - squares[KingSlot]) & 0x04) return true;
  if (side == White) {
    if (tables.pieceMask[pos.at(sq - 15)] == 0x41 || tables.pieceMask[pos.at(sq - 17)] == 0x41)
      return true;
  } else {
    if (tables.pieceMask[pos.at(sq + 15)] == 0x82 || tables.pieceMask[pos.at(sq + 17)] == 0x82)
      return true;
  }
  for (int slot = KnightSlot; squares[slot] != NoSquare; slot++) {
    int from = squares[slot];
    if (!(from & 0x88) && (attackMaskOf(sq - from) & 0x08)) return true;
  }
  // Bishops, rooks and queens occupy consecutive slot ranges; each list ends with 255.
  static constexpr struct {
    int first;
    int bits;
  } sliders[3] = {{BishopSlot, 0x10}, {RookSlot, 0x20}, {QueenSlot, 0x30}};
  for (const auto& kind : sliders)
    for (int slot = kind.first; squares[slot] != NoSquare; slot++) {
      int from = squares[slot];
      if (from & 0x88) continue;
      int diff = sq - from;
      if (!(attackMaskOf(diff) & kind.bits)) continue;
      int dir = directionOf(diff);
      int s = from + dir;
      while (s != sq && pos.at(s) == Empty) s += dir;
      if (s == sq) return true;
    }
  return false;
}

bool isPinnedMove(const Position& pos, int king, int from, int to) {
  int line = lineBits(from - king);
  if (!line) return false;
  int dir = directionOf(from - king);
  if (directionOf(to - king) == dir) return false;
  if (firstPieceFrom(pos, king, dir) != from) return false;
  int piece = pos.at(firstPieceFrom(pos, from, dir));
  int enemy = colourBase(int(pos.sideToMove) ^ 1);
  return (piece & 0xC0) == enemy && (tables.pieceMask[piece] & line);
}

uint64_t perft(Position& pos, int depth, Move lastMove) {
  Move moves[MaxMoves];
  Move* end = (lastMove & MoveCheckFlags) ? generateEvasions(pos, moves, lastMove)
                                          : generateMoves(pos, moves);
  UndoInfo undo = saveUndo(pos);
  uint64_t count = 0;
  if (depth <= 1) {
    // The generators' moves are legal except castling through an attacked square and an
    // en-passant capture that uncovers the king: only those need to be played to be counted.
    for (Move* m = moves; m < end; m++) {
      if (!(*m & (MoveCastle | MoveEnPassant))) {
        count++;
      } else if (makeMove(pos, *m)) {
        count++;
        unmakeMove(pos, *m, undo);
      }
    }
    return count;
  }
  for (Move* m = moves; m < end; m++) {
    Move made = makeMove(pos, *m);
    if (!made) continue;
    count += perft(pos, depth - 1, made);
    unmakeMove(pos, *m, undo);
  }
  return count;
}

uint64_t perftCommand(Position& pos, int depth) {
  uint64_t count = perft(pos, depth, pos.lastMove);
  logInfo("perft %i=%10llu\n", depth, (unsigned long long)count);
  return count;
}
