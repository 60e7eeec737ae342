// One tolerant move reader for every source (protocol coordinates, console input, PGN
// algebraic notation) and the engine's own long notation for output.
#include "board/notation.h"

#include <cstdio>
#include <cstring>

#include "base/diagnostics.h"
#include "board/makemove.h"
#include "board/movegen.h"

namespace {

// The squares, letters and castling marks found in a move text.
struct MoveFields {
  int toFile = -1, toRank = -1, fromFile = -1, fromRank = -1;
  char piece = 0;     // upper-case letter of the moving piece, 0 when not given
  int promotion = 0;  // kind code, 0 when not given
  int castleMarks = 0;
  bool kingStep = false;  // a king move one file sideways: never castling
};

int promotionKind(char upper) {
  switch (upper) {
    case 'Q':
      return Queen;
    case 'R':
      return Rook;
    case 'B':
      return Bishop;
    case 'N':
      return Knight;
    default:
      return 0;
  }
}

bool scanFields(const char* text, MoveFields& f) {
  size_t length = strlen(text);
  bool firstIsFile = text[0] >= 'a' && text[0] <= 'h';
  for (size_t i = length; i-- > 0;) {
    char c = text[i];
    bool bishopPromotion = c == 'b' && firstIsFile && i == length - 1 && length >= 5;
    if (c >= 'a' && c <= 'h' && !bishopPromotion) {
      if (f.toFile < 0)
        f.toFile = c - 'a';
      else if (f.fromFile < 0)
        f.fromFile = c - 'a';
    } else if (c >= '1' && c <= '8') {
      if (f.toRank < 0)
        f.toRank = c - '1';
      else if (f.fromRank < 0)
        f.fromRank = c - '1';
    } else if (strchr("\t\n\r !#+-=?x", c)) {
      // decoration
    } else if (bishopPromotion || strchr("BNQRnqr", c)) {
      char upper = char(c & ~0x20);
      if (f.toFile < 0)
        f.promotion = promotionKind(upper);
      else
        f.piece = upper;
    } else if (c == 'K' || c == 'P') {
      f.piece = c;
    } else if (c == 'O' || c == 'o') {
      f.castleMarks++;
    } else {
      diagnostic("illegal char in move %s: %i\n", text, c);
      return false;
    }
  }
  return true;
}

// Settles which piece moves and reads castling written as a king move. False when the
// fields cannot denote a move.
bool decidePiece(const Position& pos, MoveFields& f) {
  bool haveTarget = f.toFile >= 0 && f.toRank >= 0;
  if (f.piece) {
    if (!haveTarget) return false;
  } else if (f.castleMarks) {
    if (f.castleMarks != 2 && f.castleMarks != 3) return false;
    f.piece = 'K';
    f.toFile = f.castleMarks == 2 ? 6 : 2;
    f.toRank = -1;
    return true;
  } else if (!(haveTarget && f.fromFile >= 0 && f.fromRank >= 0)) {
    if (f.toFile < 0 || (f.toRank < 0 && f.fromFile < 0)) return false;
    f.piece = 'P';
  }
  if (!haveTarget) return true;

  int king = pos.kingSquare(int(pos.sideToMove));
  bool fromKing = f.fromFile == fileOf(king) && f.fromRank == rankOf(king);
  if (!(fromKing || f.piece == 'K')) return true;
  int target = squareOf(f.toFile, f.toRank);
  int fileDistance = f.toFile - fileOf(king);
  if (f.toRank == rankOf(king) && (fileDistance == 1 || fileDistance == -1)) {
    int occupant = pos.at(target);
    bool ownRook = (occupant & 0xC0) == colourBase(int(pos.sideToMove)) &&
                   tables.kindOfSlot[slotOf(occupant)] == Rook;
    if (!ownRook) {
      f.kingStep = true;
      return true;
    }
  }
  int occupant = pos.at(target);
  if ((occupant & 0xC0) == colourBase(int(pos.sideToMove)) &&
      tables.kindOfSlot[slotOf(occupant)] == Rook) {
    // King takes own rook: castling toward that rook.
    f.castleMarks = fileOf(king) >= f.toFile ? 3 : 2;
    f.toFile = f.castleMarks == 2 ? 6 : 2;
    f.piece = 'K';
  }
  return true;
}

bool matches(const Position& pos, Move m, const MoveFields& f) {
  int from = moveFrom(m), to = moveTo(m);
  if (f.piece) {
    char letter = kindLetters[tables.kindOfSlot[slotOf(pos.at(from))]] & ~0x20;
    if (letter != f.piece) return false;
  }
  int promotion = movePromotion(m);
  if (f.promotion ? promotion != f.promotion : (promotion && promotion != Queen)) return false;
  if (f.toFile >= 0 && fileOf(to) != f.toFile) return false;
  if (f.toRank >= 0 && rankOf(to) != f.toRank) return false;
  if (f.fromFile >= 0 && fileOf(from) != f.fromFile) return false;
  if (f.fromRank >= 0 && rankOf(from) != f.fromRank) return false;
  bool castling = (m & MoveCastle) != 0;
  if (f.castleMarks && !castling) return false;
  if (f.kingStep && castling) return false;
  return true;
}

}  // namespace

Move parseMove(Position& pos, const char* text) {
  if (!text || !*text || text[0] == '%') return 0;
  MoveFields fields;
  if (!scanFields(text, fields) || !decidePiece(pos, fields)) return 0;

  Move moves[MaxMoves];
  Move* end =
      pos.inCheck() ? generateEvasions(pos, moves, pos.previousMove()) : generateMoves(pos, moves);
  UndoInfo undo = saveUndo(pos);
  Move found = 0;
  for (Move* m = moves; m < end; m++) {
    if (!matches(pos, *m, fields)) continue;
    Move made = makeMove(pos, *m);
    if (!made) continue;
    unmakeMove(pos, *m, undo);
    if (found) {
      char first[MoveTextSize], second[MoveTextSize];
      fprintf(stderr, "ambiguous move: %s _and_ %s\n", printMove(pos, first, found),
              printMove(pos, second, made));
      return 0;
    }
    found = made;
  }
  return found;
}

char* printMove(const Position&, char* buffer, Move m) {
  if (!m) {
    strcpy(buffer, "%");
    return buffer;
  }
  if (m & MoveCastle) {
    strcpy(buffer, fileOf(moveTo(m)) < 4 ? "O-O-O" : "O-O");
    return buffer;
  }
  char* p = buffer;
  int from = moveFrom(m), to = moveTo(m);
  *p++ = char('a' + fileOf(from));
  *p++ = char('1' + rankOf(from));
  if (moveCaptured(m)) *p++ = 'x';
  *p++ = char('a' + fileOf(to));
  *p++ = char('1' + rankOf(to));
  if (movePromotion(m)) {
    *p++ = '=';
    *p++ = char(kindLetters[movePromotion(m)] & ~0x20);
  }
  if (m & MoveDirectCheck) *p++ = '+';
  if (m & MoveDiscoveredCheck) *p++ = '+';
  *p = 0;
  return buffer;
}

char* coordinateMove(char* buffer, Move m) {
  if (!m) {
    strcpy(buffer, "0000");
    return buffer;
  }
  int from = moveFrom(m), to = moveTo(m);
  char* p = buffer;
  *p++ = char('a' + fileOf(from));
  *p++ = char('1' + rankOf(from));
  *p++ = char('a' + fileOf(to));
  *p++ = char('1' + rankOf(to));
  if (movePromotion(m)) *p++ = kindLetters[movePromotion(m)];
  *p = 0;
  return buffer;
}
