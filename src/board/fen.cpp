// Reading and writing positions in Forsyth-Edwards Notation, with Chess960 castling fields
// (KQkq, or the file letters of the castling rooks).
#include <cstdio>
#include <cstring>
#include <memory>

#include "base/diagnostics.h"
#include "base/log.h"
#include "base/output_stream.h"
#include "board/makemove.h"
#include "board/notation.h"
#include "board/position.h"
#include "board/rays.h"

namespace {

int kindOfLetter(char c) {
  switch (c | 0x20) {
    case 'p':
      return Pawn;
    case 'n':
      return Knight;
    case 'b':
      return Bishop;
    case 'r':
      return Rook;
    case 'q':
      return Queen;
    case 'k':
      return King;
    default:
      return 0;
  }
}

bool placePiece(Position& pos, int side, int kind, int sq) {
  int base = colourBase(side);
  int slot = kindFirstSlot[kind];
  while (slot < kindEndSlot[kind] && pos.pieceSquare[base + slot] != NoSquare) slot++;
  if (slot >= kindEndSlot[kind]) return false;
  int piece = base + slot;
  pos.pieceSquare[piece] = uint8_t(sq);
  pos.pieceSquare[piece + 1] = NoSquare;
  pos.at(sq) = uint8_t(piece);
  pos.occupied |= squareBit(sq);
  pos.material[side] += tables.materialOf[slot];
  uint64_t key = pieceKey(piece, sq);
  pos.hashKey ^= key;
  if (kind == Pawn) pos.pawnKey ^= key;
  return true;
}

bool readPlacement(Position& pos, const char*& p) {
  int row = 7, file = 0;
  for (; *p && *p != ' '; p++) {
    char c = *p;
    if (c == '/') {
      if (--row < 0) {
        diagnostic("Illegal FEN: too many rows\n");
        return false;
      }
      file = 0;
    } else if (c >= '1' && c <= '8') {
      file += c - '0';
      if (file > 8) {
        diagnostic("Illegal FEN: more than eight files in a row\n");
        return false;
      }
    } else if (int kind = kindOfLetter(c); kind != 0) {
      if (file > 7) {
        diagnostic("Illegal FEN: more than eight files in a row\n");
        return false;
      }
      if (!placePiece(pos, c >= 'a' ? Black : White, kind, squareOf(file, row))) {
        diagnostic("Illegal FEN: too many pieces of one kind: %c\n", c);
        return false;
      }
      file++;
    } else {
      diagnostic("invalid char in fen: %c\n", c);
      return false;
    }
  }
  return true;
}

// A position the move code can work on: one king each, no pawn on the first or last rank,
// and never more pieces of a kind than its slots can hold once every pawn has promoted.
bool checkMaterial(const Position& pos) {
  for (int side = White; side <= Black; side++) {
    uint32_t m = pos.material[side];
    if (pos.kingSquare(side) == NoSquare) {
      diagnostic("Illegal FEN: missing %s king\n", side == White ? "white" : "black");
      return false;
    }
    int pawns = pawnCount(m);
    if (knightCount(m) + pawns > 10 || bishopCount(m) + pawns > 10 || rookCount(m) + pawns > 10 ||
        queenCount(m) + pawns > 9) {
      diagnostic("Illegal FEN: more pieces than promotions allow\n");
      return false;
    }
    for (int slot = PawnSlot; slot < PawnEnd; slot++) {
      int sq = pos.pieceSquare[colourBase(side) + slot];
      if (sq == NoSquare) break;
      if (rankOf(sq) == 0 || rankOf(sq) == 7) {
        diagnostic("Illegal FEN: pawn on the first or last rank\n");
        return false;
      }
    }
  }
  return true;
}

void buildCastleGeometry(CastleGeometry& g) {
  memset(g.mask, 15, sizeof g.mask);
  g.mask[squareOf(g.queenRookFile, 0)] = 11;
  g.mask[squareOf(g.queenRookFile, 7)] = 7;
  g.mask[squareOf(g.kingFile, 0)] = 10;
  g.mask[squareOf(g.kingFile, 7)] = 5;
  g.mask[squareOf(g.kingRookFile, 0)] = 14;
  g.mask[squareOf(g.kingRookFile, 7)] = 13;
  // Squares between the king's and the rook's start and target squares must be empty,
  // except those of the castling king and rook themselves.
  auto span = [&](int low, int high, int rookFile) {
    uint8_t files = 0;
    for (int f = low; f <= high; f++)
      if (f != g.kingFile && f != rookFile) files |= uint8_t(1 << f);
    return files;
  };
  g.kingSideEmptyFiles = span(g.kingFile < 5 ? g.kingFile : 5, 6, g.kingRookFile);
  g.queenSideEmptyFiles = span(g.queenRookFile < 2 ? g.queenRookFile : 2,
                               (g.kingFile > 4 ? g.kingFile : 4) - 1, g.queenRookFile);
}

// The castling rook for a right: the rook on `file` if given, else the outermost rook of the
// side on the back rank in the direction given.
int findCastleRook(const Position& pos, int side, int kingSq, int dir, int file) {
  int rank = side == White ? 0 : 7;
  if (rankOf(kingSq) != rank) return -1;
  int rook = colourBase(side);
  auto isOwnRook = [&](int sq) {
    int piece = pos.at(sq);
    return (piece & 0xC0) == rook && tables.kindOfSlot[slotOf(piece)] == Rook;
  };
  if (file >= 0) {
    int sq = squareOf(file, rank);
    return isOwnRook(sq) && (file - fileOf(kingSq)) * dir > 0 ? file : -1;
  }
  int found = -1;
  for (int sq = kingSq + dir; onBoard(sq) && rankOf(sq) == rank; sq += dir)
    if (isOwnRook(sq)) found = fileOf(sq);
  return found;
}

void readCastling(Position& pos, const char*& p) {
  CastleGeometry& g = pos.castle;
  for (; *p && *p != ' '; p++) {
    char c = *p;
    if (c == '-') continue;
    int side = (c >= 'a') ? Black : White;
    int upper = c & ~0x20;
    int kingSq = pos.kingSquare(side);
    int dir, file = -1;
    if (upper == 'K') {
      dir = 1;
    } else if (upper == 'Q') {
      dir = -1;
    } else if (upper >= 'A' && upper <= 'H') {
      file = upper - 'A';
      dir = file > fileOf(kingSq) ? 1 : -1;
    } else {
      logInfo("setFen(): illegal castling char: %c\n", c);
      continue;
    }
    int rookFile = findCastleRook(pos, side, kingSq, dir, file);
    if (rookFile < 0) {
      logInfo("invalid castling ignored\n");
      continue;
    }
    uint8_t right = dir > 0 ? (side == White ? WhiteKingSide : BlackKingSide)
                            : (side == White ? WhiteQueenSide : BlackQueenSide);
    pos.castleRights |= right;
    g.kingFile = fileOf(kingSq);
    (dir > 0 ? g.kingRookFile : g.queenRookFile) = rookFile;
  }
  // Both sides share one geometry (the files of the last right read): a right whose king or
  // rook is not on those files cannot be played and is dropped.
  static const struct {
    uint8_t right;
    int side;
    bool kingSide;
  } rights[4] = {{WhiteKingSide, White, true},
                 {WhiteQueenSide, White, false},
                 {BlackKingSide, Black, true},
                 {BlackQueenSide, Black, false}};
  for (const auto& r : rights) {
    if (!(pos.castleRights & r.right)) continue;
    int rank = r.side == White ? 0 : 7;
    int king = pos.at(squareOf(g.kingFile, rank));
    int rook = pos.at(squareOf(r.kingSide ? g.kingRookFile : g.queenRookFile, rank));
    bool fits = king == colourBase(r.side) + KingSlot && (rook & 0xC0) == colourBase(r.side) &&
                tables.kindOfSlot[slotOf(rook)] == Rook;
    if (!fits) {
      logInfo("invalid castling ignored\n");
      pos.castleRights &= uint8_t(~r.right);
    }
  }
  pos.hashKey ^= tables.castleKeys[pos.castleRights];
  buildCastleGeometry(g);
}

// The en-passant square counts only where a pawn of the side not to move has just made a
// double push: on the right rank, with the pawn in front of it and both squares it crossed
// empty. Anything else would let the move generator capture a pawn that is not there.
void readEnPassant(Position& pos, const char*& p) {
  if (*p == '-' || !*p) {
    if (*p) p++;
    return;
  }
  if (p[0] < 'a' || p[0] > 'h' || p[1] < '1' || p[1] > '8') {
    logInfo("FEN: invalid ep square: %c%c\n", p[0], p[1] ? p[1] : ' ');
    while (*p && *p != ' ') p++;
    return;
  }
  int sq = squareOf(p[0] - 'a', p[1] - '1');
  p += 2;
  int rank = rankOf(sq);
  int pusher = pos.sideToMove ^ 1;
  int expectedRank = pusher == White ? 2 : 5;
  if (rank != expectedRank) {
    logInfo("setFen() ep square on wrong row: %i\n", rank + 1);
    return;
  }
  int forward = pawnStep[pusher];
  int pawn = pos.at(sq + forward);
  bool pawnThere = (pawn & 0xC0) == colourBase(pusher) && isPawnPiece(pawn);
  if (!pawnThere || pos.at(sq) != Empty || pos.at(sq - forward) != Empty) {
    logInfo("FEN: invalid ep square: %x\n", sq);
    return;
  }
  pos.epSquare = uint8_t(sq);
  pos.hashKey ^= zobrist[sq];
}

void readCounters(const char*& p) {
  static const char* const messages[2] = {"illegal char in fifty: %c\n",
                                          "illegal char in move nr: %c\n"};
  for (const char* message : messages) {
    while (*p == ' ') p++;
    bool digits = false;
    for (; *p && *p != ' '; p++) {
      if (*p >= '0' && *p <= '9')
        digits = true;
      else if (digits)
        logInfo(message, *p);
    }
  }
  while (*p == ' ') p++;
  if (*p) logInfo("fenfields: %s\n", p);
}

// The move that led to a set-up position in check, with the flags the evasion generator and
// the search expect: a direct check by the checker, or a double check.
bool setCheckState(Position& pos) {
  int side = int(pos.sideToMove);
  int king = pos.kingSquare(side);
  int checkers[3], count = 0;
  const int enemy = colourBase(side ^ 1);
  for (int slot = 0; slot < QueenEnd; slot++) {
    int sq = pos.pieceSquare[enemy + slot];
    if (sq == NoSquare || (sq & 0x88)) continue;
    int diff = king - sq;
    if (!(tables.pieceMask[enemy + slot] & attackMaskOf(diff) & 0x3F)) continue;
    if (slot >= BishopSlot) {
      int dir = directionOf(diff), s = sq + dir;
      while (pos.at(s) == Empty) s += dir;
      if (s != king) continue;
    }
    if (count == 3) break;
    checkers[count++] = sq;
  }
  if (count >= 3) {
    diagnostic("Illegal FEN: triple check?!\n");
    return false;
  }
  if (isAttacked(pos, side, pos.kingSquare(side ^ 1))) {
    diagnostic("Illegal FEN: the side not to move is in check\n");
    return false;
  }
  if (count == 0) {
    pos.lastMove = 0;
    return true;
  }
  if (count == 2) {
    // Two sliders can check at once (a slider moving off a line it blocked for another), so
    // both are accepted; the origin is put on the line of one of them, next to it.
    bool firstSlides = pos.at(checkers[0]) & 0x20;
    int slider = firstSlides ? checkers[0] : checkers[1];
    int other = firstSlides ? checkers[1] : checkers[0];
    int from = slider + directionOf(king - slider);
    pos.lastMove = makeMoveWord(from, other) | MoveCheckFlags;
    return true;
  }
  int checker = checkers[0];
  if (pos.epSquare) {
    int pusher = side ^ 1;
    int to = pos.epSquare + pawnStep[pusher];
    Move push = makeMoveWord(pos.epSquare - pawnStep[pusher], to) | MoveDoublePush;
    pos.lastMove = push | (checker == to ? MoveDirectCheck : MoveDiscoveredCheck);
  } else {
    pos.lastMove = makeMoveWord(checker, checker) | MoveDirectCheck;
  }
  return true;
}

}  // namespace

bool setFen(Position& pos, const char* fen) {
  clearPosition(pos);
  if (!fen) return false;
  const char* p = fen;
  if (!readPlacement(pos, p) || !checkMaterial(pos)) return false;
  while (*p == ' ') p++;
  if (*p) {
    if (*p == 'w' || *p == 'b') {
      pos.sideToMove = *p == 'b' ? Black : White;
      p++;
    } else {
      diagnostic("fen: invalid stm: %c\n", *p);
      return false;
    }
  }
  while (*p == ' ') p++;
  readCastling(pos, p);
  while (*p == ' ') p++;
  readEnPassant(pos, p);
  readCounters(p);
  if (!setCheckState(pos)) return false;
  if (pos.lastMove) {
    char text[MoveTextSize];
    logInfo("fen: pseudo last move=%s\n", printMove(pos, text, pos.lastMove));
  }
  return true;
}

// The FEN is read into a record of its own first: setFen clears the board before it reads, so a
// refusal halfway would leave the pieces of the bad FEN with the old side to move.
bool setFenOrKeep(Position& pos, const char* fen) {
  auto scratch = std::make_unique<Position>();
  if (!setFen(*scratch, fen)) return false;
  copyPosition(pos, *scratch);
  return true;
}

void fenString(const Position& pos, char* buffer, int size) {
  int n = 0;
  auto put = [&](char c) {
    if (n < size - 1) buffer[n++] = c;
  };
  for (int rank = 7; rank >= 0; rank--) {
    int empty = 0;
    for (int file = 0; file < 8; file++) {
      int piece = pos.at(squareOf(file, rank));
      if (!piece) {
        empty++;
        continue;
      }
      if (empty) put(char('0' + empty));
      empty = 0;
      char letter = kindLetters[tables.kindOfSlot[slotOf(piece)]];
      put(piece < BlackBase ? char(letter - 32) : letter);
    }
    if (empty) put(char('0' + empty));
    if (rank) put('/');
  }
  put(' ');
  put(pos.sideToMove == White ? 'w' : 'b');
  put(' ');
  static const struct {
    uint8_t right;
    char letter;
  } rights[4] = {
      {WhiteKingSide, 'K'}, {WhiteQueenSide, 'Q'}, {BlackKingSide, 'k'}, {BlackQueenSide, 'q'}};
  for (const auto& r : rights)
    if (pos.castleRights & r.right) put(r.letter);
  if (!pos.castleRights) put('-');
  put(' ');
  if (pos.epSquare) {
    put(char('a' + fileOf(pos.epSquare)));
    put(char('1' + rankOf(pos.epSquare)));
  } else {
    put('-');
  }
  buffer[n] = 0;
  snprintf(buffer + n, size_t(size - n), " %i %u", pos.fiftyMoveCount(), pos.ply);
}

void writeFen(const Position& pos, OutputStream& out) {
  char buffer[128];
  fenString(pos, buffer, sizeof buffer);
  out.put(buffer);
}
