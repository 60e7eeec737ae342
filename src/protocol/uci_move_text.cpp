#include "protocol/uci_move_text.h"

#include <cstring>

namespace {

char* writeSquare(char* p, int square) {
  *p++ = char('a' + fileOf(square));
  *p++ = char('1' + rankOf(square));
  return p;
}

}  // namespace

char* uciMoveText(char* buffer, const Position& pos, Move m, int notation) {
  if (!m) {
    strcpy(buffer, "0000");
    return buffer;
  }
  const int from = moveFrom(m), to = moveTo(m);
  char* p = buffer;
  if (m & MoveCastle) {
    const int kingStep =
        fileOf(to) > fileOf(from) ? fileOf(to) - fileOf(from) : fileOf(from) - fileOf(to);
    if (notation == CastleOO) {
      strcpy(buffer, fileOf(to) >= 4 ? "O-O" : "O-O-O");
      return buffer;
    }
    if (notation == CastleKxR || (notation == CastleSmart && kingStep <= 1)) {
      p = writeSquare(p, from);
      p = writeSquare(p, castleRookSquare(pos, m));
      *p = 0;
      return buffer;
    }
  }
  p = writeSquare(p, from);
  p = writeSquare(p, to);
  // The promoted piece in lower case (e7e8q), as UCI interfaces expect it.
  if (movePromotion(m)) *p++ = kindLetters[movePromotion(m)];
  *p = 0;
  return buffer;
}

namespace {

const char* const castleNotationNames[] = {"smart", "O-O", "KxR", "e1g1"};

}  // namespace

int castleNotationFromName(const char* name) {
  for (int i = 0; i < 4; i++)
    if (strcmp(name, castleNotationNames[i]) == 0) return i;
  return -1;
}

const char* castleNotationName(int notation) {
  return notation >= 0 && notation < 4 ? castleNotationNames[notation] : "";
}
