#include "protocol/winboard_move_text.h"

#include <cctype>
#include <cstring>

char* winboardMoveText(char* buffer, Move m) {
  if (!m) {
    buffer[0] = 0;
    return buffer;
  }
  const int from = moveFrom(m), to = moveTo(m);
  if (m & MoveCastle) {
    strcpy(buffer, fileOf(to) == 6 ? "O-O" : "O-O-O");
    return buffer;
  }
  char* p = buffer;
  *p++ = char('a' + fileOf(from));
  *p++ = char('1' + rankOf(from));
  *p++ = char('a' + fileOf(to));
  *p++ = char('1' + rankOf(to));
  if (movePromotion(m)) *p++ = char(toupper(kindLetters[movePromotion(m)]));
  *p = 0;
  return buffer;
}

namespace {

// Reads a square name; false when the text does not start with one equal to `square`.
bool readSquare(const char*& text, int square) {
  if (text[0] != char('a' + fileOf(square)) || text[1] != char('1' + rankOf(square))) return false;
  text += 2;
  return true;
}

bool namesCastling(const char* text, Move m) {
  auto castleChar = [](char c) { return c == 'O' || c == '0'; };
  if (!castleChar(text[0]) || text[1] != '-' || !castleChar(text[2])) return false;
  text += 3;
  bool queenSide = false;
  if (text[0] == '-' && castleChar(text[1])) {
    queenSide = true;
    text += 2;
  }
  if (queenSide != (fileOf(moveTo(m)) != 6)) return false;
  if (*text == '+' || *text == '#') text++;
  return *text == 0;
}

}  // namespace

bool winboardTextNamesMove(const char* text, Move m) {
  if (!m || !text) return false;
  if ((m & MoveCastle) && namesCastling(text, m)) return true;
  if (!readSquare(text, moveFrom(m))) return false;
  if (*text == 'x') text++;
  if (!readSquare(text, moveTo(m))) return false;
  if (movePromotion(m)) {
    if (*text == '=') text++;
    char letter = 'q';
    if (isalpha(static_cast<unsigned char>(*text)))
      letter = char(tolower(static_cast<unsigned char>(*text++)));
    if (letter != kindLetters[movePromotion(m)]) return false;
  }
  if (*text == '+' || *text == '#') text++;
  return *text == 0;
}
