#include "board/movegen.h"

#include "board/generator_support.h"
#include "board/makemove.h"

namespace {

using namespace generator;

constexpr int EvasionPromotionOrder[4] = {Queen, Knight, Bishop, Rook};

Move* sliderMoves(const Position& pos, Move* list, int from, const int* dirs, int count,
                  int enemyBase) {
  for (int i = 0; i < count; i++) {
    int dir = dirs[i];
    int to = from + dir;
    while (pos.at(to) == Empty) {
      *list++ = moveWord(from, to, 0);
      to += dir;
    }
    if (isEnemy(pos.at(to), enemyBase)) *list++ = moveWord(from, to, pos.at(to));
  }
  return list;
}

Move* knightMoves(const Position& pos, Move* list, int from, int enemyBase) {
  for (int jump : KnightOrder) {
    int to = from + jump;
    int target = pos.at(to);
    if (target == Empty || isEnemy(target, enemyBase)) *list++ = moveWord(from, to, target);
  }
  return list;
}

// Pawn captures toward the lower file, the higher file, then the push; promotions in `order`.
Move* pawnMoves(const Position& pos, Move* list, int from, int side, const int (&order)[4]) {
  int forward = pawnStep[side];
  bool promoting = rankOf(from) == prePromotionRank(side);
  list = pawnCaptures(pos, list, from, side, order);
  int to = from + forward;
  if (pos.at(to) != Empty) return list;
  if (promoting) return addPromotions(list, moveWord(from, to, 0), order);
  *list++ = moveWord(from, to, 0);
  if (rankOf(from) == startRank(side) && pos.at(to + forward) == Empty)
    *list++ = moveWord(from, to + forward, 0) | MoveDoublePush;
  return list;
}

Move* kingSteps8(const Position& pos, Move* list, int from, int side) {
  int own = colourBase(side);
  for (int step : kingSteps) {
    int to = from + step;
    int target = pos.at(to);
    if (target & own) continue;  // own piece or the edge guard
    if (!isAttacked(pos, side ^ 1, to)) *list++ = moveWord(from, to, target);
  }
  return list;
}

// Hides every own piece pinned to the king from the list walks (0x80 added to its square) and
// returns how many; `pinned` receives their numbers and `pinners` the pinning squares.
int hidePinnedPieces(Position& pos, int side, uint8_t* pinned, uint8_t* pinners) {
  int king = pos.kingSquare(side);
  int enemyBase = colourBase(side ^ 1);
  int count = 0;
  for (int slot = BishopSlot; slot < QueenEnd; slot++) {
    int sq = pos.pieceSquare[enemyBase + slot];
    if (sq == NoSquare || (sq & 0x88)) continue;
    int piece = enemyBase + slot;
    int diff = sq - king;
    if (!(tables.pieceMask[piece] & attackMaskOf(diff) & 0x30)) continue;
    int dir = directionOf(diff);
    int s = king + dir;
    while (pos.at(s) == Empty) s += dir;
    if (s == sq || (pos.at(s) & 0xC0) != colourBase(side)) continue;
    int candidate = s;
    do s += dir;
    while (pos.at(s) == Empty);
    if (s != sq) continue;
    pinned[count] = pos.at(candidate);
    pinners[count] = uint8_t(sq);
    pos.pieceSquare[pos.at(candidate)] += 0x80;
    count++;
  }
  return count;
}

void restorePinnedPieces(Position& pos, const uint8_t* pinned, int count) {
  for (int i = 0; i < count; i++) pos.pieceSquare[pinned[i]] -= 0x80;
}

// Moves of a pinned piece that stay on its pin line.
Move* pinnedPieceMoves(const Position& pos, Move* list, int piece, int pinner, int side) {
  int from = pos.pieceSquare[piece] & 0x77;
  int king = pos.kingSquare(side);
  int dir = directionOf(pinner - king);  // from the king toward the pinner
  int line = attackMaskOf(pinner - king) & 0x30;
  int kind = tables.kindOfSlot[slotOf(piece)];
  if (kind == Pawn) {
    int forward = pawnStep[side];
    if (dir == forward - 1 || dir == forward + 1) {
      if (pinner == from + dir) {
        Move m = moveWord(from, pinner, pos.at(pinner));
        if (rankOf(from) == prePromotionRank(side))
          list = addPromotions(list, m, PromotionOrder);
        else
          *list++ = m;
      }
    } else if (dir == forward || dir == -forward) {
      int to = from + forward;
      if (pos.at(to) == Empty && rankOf(from) != prePromotionRank(side)) {
        *list++ = moveWord(from, to, 0);
        if (rankOf(from) == startRank(side) && pos.at(to + forward) == Empty)
          *list++ = moveWord(from, to + forward, 0) | MoveDoublePush;
      }
    }
    return list;
  }
  if (!(tables.pieceMask[piece] & line)) return list;  // knights, and sliders across the line
  *list++ = moveWord(from, pinner, pos.at(pinner));
  for (int sq = pinner - dir; sq != from; sq -= dir) *list++ = moveWord(from, sq, 0);
  for (int sq = from - dir; sq != king; sq -= dir) *list++ = moveWord(from, sq, 0);
  return list;
}

Move* castlingMoves(const Position& pos, Move* list, int side) {
  int king = pos.kingSquare(side);
  int rank = side == White ? 0 : 7;
  auto filesEmpty = [&](uint8_t files) { return backRankFilesEmpty(pos, rank, files); };
  uint8_t kingSide = side == White ? WhiteKingSide : BlackKingSide;
  uint8_t queenSide = side == White ? WhiteQueenSide : BlackQueenSide;
  if ((pos.castleRights & kingSide) && filesEmpty(pos.castle.kingSideEmptyFiles))
    *list++ = moveWord(king, squareOf(6, rank), 0) | MoveCastle;
  if ((pos.castleRights & queenSide) && filesEmpty(pos.castle.queenSideEmptyFiles))
    *list++ = moveWord(king, squareOf(2, rank), 0) | MoveCastle;
  return list;
}

Move* enPassantMoves(const Position& pos, Move* list, int side) {
  if (!pos.epSquare) return list;
  int capturedSquare = pos.epSquare ^ 16;
  uint8_t ownPawn = side == White ? 0x41 : 0x82;
  for (int from : {capturedSquare - 1, capturedSquare + 1})
    if (tables.pieceMask[pos.at(from)] == ownPawn)
      *list++ = moveWord(from, pos.epSquare, pos.at(capturedSquare)) | MoveEnPassant;
  return list;
}

// Knight, bishop, rook and queen moves onto `square`, skipping hidden (pinned) pieces.
Move* piecesTo(const Position& pos, Move* list, int square, int side) {
  int target = pos.at(square);
  static constexpr struct {
    int first;
    int bits;
  } kinds[4] = {{KnightSlot, 0x08}, {BishopSlot, 0x10}, {RookSlot, 0x20}, {QueenSlot, 0x30}};
  for (const auto& kind : kinds)
    forEachPiece(pos, side, kind.first, [&](int from) {
      int diff = square - from;
      if (!(attackMaskOf(diff) & kind.bits)) return;
      if (kind.bits != 0x08) {
        int dir = directionOf(diff);
        int s = from + dir;
        while (s != square && pos.at(s) == Empty) s += dir;
        if (s != square) return;
      }
      *list++ = moveWord(from, square, target);
    });
  return list;
}

// The enemy pieces that attack `square`; returns how many (at most the array size).
int attackersOf(const Position& pos, int square, int side, int* found, int max) {
  int count = 0;
  const uint8_t* squares = pos.pieceSquare + colourBase(side);
  for (int slot = 0; slot < QueenEnd && count < max; slot++) {
    int sq = squares[slot];
    if (sq == NoSquare || (sq & 0x88)) continue;
    int piece = colourBase(side) + slot;
    int diff = square - sq;
    if (!(tables.pieceMask[piece] & attackMaskOf(diff) & 0x3F)) continue;
    if (piece & 0x20) {
      int dir = directionOf(diff);
      int s = sq + dir;
      while (s != square && pos.at(s) == Empty) s += dir;
      if (s != square) continue;
    }
    found[count++] = sq;
  }
  return count;
}

}  // namespace

Move* generateMoves(Position& pos, Move* list) {
  const int side = int(pos.sideToMove);
  const int enemyBase = colourBase(side ^ 1);
  uint8_t pinned[8], pinners[8];
  int pinnedCount = hidePinnedPieces(pos, side, pinned, pinners);
  for (int i = 0; i < pinnedCount; i++)
    list = pinnedPieceMoves(pos, list, pinned[i], pinners[i], side);
  list = enPassantMoves(pos, list, side);
  list = castlingMoves(pos, list, side);
  forEachPiece(pos, side, PawnSlot,
               [&](int from) { list = pawnMoves(pos, list, from, side, PromotionOrder); });
  forEachPiece(pos, side, KnightSlot,
               [&](int from) { list = knightMoves(pos, list, from, enemyBase); });
  forEachPiece(pos, side, BishopSlot, [&](int from) {
    list = sliderMoves(pos, list, from, BishopDirections, 4, enemyBase);
  });
  forEachPiece(pos, side, RookSlot, [&](int from) {
    list = sliderMoves(pos, list, from, RookDirections, 4, enemyBase);
  });
  forEachPiece(pos, side, QueenSlot, [&](int from) {
    list = sliderMoves(pos, list, from, QueenDirections, 8, enemyBase);
  });
  list = kingSteps8(pos, list, pos.kingSquare(side), side);
  restorePinnedPieces(pos, pinned, pinnedCount);
  return list;
}

Move* generateMovesTo(const Position& pos, Move* list, int square) {
  return piecesTo(pos, list, square, int(pos.sideToMove));
}

Move* generateEvasions(Position& pos, Move* list, Move /*lastMove*/) {
  // The checkers are found on the board rather than decoded from the checking move, so that
  // every way of reaching a check (including set-up positions) is handled alike.
  const int side = int(pos.sideToMove);
  const int king = pos.kingSquare(side);
  int checkers[2];
  int checkerCount = attackersOf(pos, king, side ^ 1, checkers, 2);

  auto kingEvasions = [&](Move* out) {
    int own = colourBase(side);
    for (int step : kingSteps) {
      int to = king + step;
      int target = pos.at(to);
      if (target & own) continue;
      bool alongCheckLine = false;
      for (int i = 0; i < checkerCount; i++) {
        int checker = pos.at(checkers[i]);
        if ((checker & 0x20) && directionOf(king - checkers[i]) == step && to != checkers[i])
          alongCheckLine = true;
      }
      if (!alongCheckLine && !isAttacked(pos, side ^ 1, to)) *out++ = moveWord(king, to, target);
    }
    return out;
  };
  if (checkerCount != 1) return kingEvasions(list);

  uint8_t pinned[8], pinners[8];
  int pinnedCount = hidePinnedPieces(pos, side, pinned, pinners);
  const int checker = checkers[0];
  const uint8_t ownPawn = side == White ? 0x41 : 0x82;
  auto freePawnAt = [&](int sq) {
    int piece = pos.at(sq);
    return tables.pieceMask[piece] == ownPawn && !(pos.pieceSquare[piece] & 0x88);
  };
  const int forward = pawnStep[side];
  const int lastRank = side == White ? 7 : 0;

  for (int from : {checker - forward - 1, checker - forward + 1}) {
    if (!freePawnAt(from)) continue;
    Move m = moveWord(from, checker, pos.at(checker));
    if (rankOf(checker) == lastRank)
      list = addPromotions(list, m, EvasionPromotionOrder);
    else
      *list++ = m;
  }
  if (pos.epSquare && (pos.epSquare ^ 16) == checker)
    for (int from : {checker - 1, checker + 1})
      if (freePawnAt(from)) *list++ = moveWord(from, pos.epSquare, pos.at(checker)) | MoveEnPassant;
  list = piecesTo(pos, list, checker, side);

  if (pos.at(checker) & 0x20) {
    int dir = directionOf(king - checker);
    for (int sq = checker + dir; sq != king; sq += dir) {
      int from = sq - forward;
      if (freePawnAt(from)) {
        Move m = moveWord(from, sq, 0);
        if (rankOf(sq) == lastRank)
          list = addPromotions(list, m, EvasionPromotionOrder);
        else
          *list++ = m;
      } else if (pos.at(from) == Empty && rankOf(sq) == (side == White ? 3 : 4) &&
                 freePawnAt(from - forward)) {
        *list++ = moveWord(from - forward, sq, 0) | MoveDoublePush;
      }
      list = piecesTo(pos, list, sq, side);
    }
  }
  list = kingEvasions(list);
  restorePinnedPieces(pos, pinned, pinnedCount);
  return list;
}

bool isMoveLegal(Position& pos, Move m) {
  const int side = int(pos.sideToMove);
  const int from = moveFrom(m), to = moveTo(m);
  const int own = colourBase(side);
  const int piece = pos.at(from);
  if ((piece & 0xC0) != own || piece == Guard) return false;
  const int king = pos.kingSquare(side);
  const int kind = tables.kindOfSlot[slotOf(piece)];

  if (m & MoveCastle) {
    if (kind != King || from != king) return false;
    int rank = side == White ? 0 : 7;
    bool kingSide = fileOf(to) > 4;
    uint8_t right = kingSide ? (side == White ? WhiteKingSide : BlackKingSide)
                             : (side == White ? WhiteQueenSide : BlackQueenSide);
    if (!(pos.castleRights & right) || to != squareOf(kingSide ? 6 : 2, rank)) return false;
    uint8_t files = kingSide ? pos.castle.kingSideEmptyFiles : pos.castle.queenSideEmptyFiles;
    return backRankFilesEmpty(pos, rank, files) && !isAttacked(pos, side ^ 1, king);
  }
  if (m & MoveEnPassant)
    return kind == Pawn && pos.epSquare && to == pos.epSquare &&
           moveCaptured(m) == pos.at(to ^ 16) && (from == (to ^ 16) - 1 || from == (to ^ 16) + 1);

  if (pos.at(to) != moveCaptured(m)) return false;
  if (moveCaptured(m) && (moveCaptured(m) & 0xC0) == own) return false;
  if (kind != King && isPinnedMove(pos, king, from, to)) return false;

  if (movePromotion(m)) {
    int promo = movePromotion(m);
    if (kind != Pawn || (promo != Queen && promo != Rook && promo != Bishop && promo != Knight))
      return false;
    if (rankOf(to) != (side == White ? 7 : 0)) return false;
    int diff = to - from;
    int forward = pawnStep[side];
    return moveCaptured(m) ? (diff == forward - 1 || diff == forward + 1) : diff == forward;
  }
  if (kind == Pawn) {
    int forward = pawnStep[side];
    int diff = to - from;
    if (rankOf(to) == 0 || rankOf(to) == 7) return false;
    if (m & MoveDoublePush)
      return diff == 2 * forward && !moveCaptured(m) && rankOf(from) == startRank(side) &&
             pos.at(from + forward) == Empty;
    if (!moveCaptured(m)) return diff == forward;
    return diff == forward - 1 || diff == forward + 1;
  }
  if (m & MoveDoublePush) return false;
  int diff = to - from;
  if (!(tables.pieceMask[piece] & attackMaskOf(diff) & 0x3C)) return false;
  if (kind == King) return !isAttacked(pos, side ^ 1, to);
  if (piece & 0x20) {
    int dir = directionOf(diff);
    for (int sq = from + dir; sq != to; sq += dir)
      if (pos.at(sq) != Empty) return false;
  }
  return true;
}

int generateLegalMoves(Position& pos, Move* list) {
  Move moves[MaxMoves];
  Move* end =
      pos.inCheck() ? generateEvasions(pos, moves, pos.lastMove) : generateMoves(pos, moves);
  UndoInfo undo = saveUndo(pos);
  int count = 0;
  for (Move* m = moves; m < end; m++) {
    Move made = makeMove(pos, *m);
    if (!made) continue;
    unmakeMove(pos, *m, undo);
    list[count++] = made;
  }
  return count;
}
