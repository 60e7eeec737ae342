#include "eval/eval_test_util.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <memory>
#include <sstream>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"

Position& positionFrom(const std::string& fen) {
  static bool ready = false;
  if (!ready) {
    initTables();
    ready = true;
  }
  static std::vector<std::unique_ptr<Position>> keep;
  keep.push_back(std::make_unique<Position>());
  Position& pos = *keep.back();
  EXPECT_TRUE(setFen(pos, fen.c_str())) << fen;
  return pos;
}

std::string flipFen(const std::string& fen) {
  std::istringstream in(fen);
  std::string placement, side, castling = "-", ep = "-", rest;
  in >> placement >> side >> castling >> ep;
  std::getline(in, rest);

  std::vector<std::string> rows;
  std::stringstream ranks(placement);
  for (std::string row; std::getline(ranks, row, '/');) rows.push_back(row);
  std::string flipped;
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    if (!flipped.empty()) flipped += '/';
    for (char c : *it)
      flipped += std::isalpha(uint8_t(c))
                     ? char(std::isupper(uint8_t(c)) ? std::tolower(c) : std::toupper(c))
                     : c;
  }
  std::string rights;
  if (castling != "-") {
    for (char c : castling)
      rights += char(std::isupper(uint8_t(c)) ? std::tolower(c) : std::toupper(c));
  } else {
    rights = "-";
  }
  if (ep != "-") ep[1] = char('1' + ('8' - ep[1]));
  return flipped + (side == "w" ? " b " : " w ") + rights + " " + ep + rest;
}

Move mirroredMove(Position& twin, Move m) {
  Move moves[MaxMoves];
  const int count = generateLegalMoves(twin, moves);
  for (int i = 0; i < count; ++i) {
    const Move t = moves[i];
    if (moveFrom(t) == (moveFrom(m) ^ 0x70) && moveTo(t) == (moveTo(m) ^ 0x70) &&
        movePromotion(t) == movePromotion(m) &&
        (t & (MoveEnPassant | MoveCastle)) == (m & (MoveEnPassant | MoveCastle)))
      return t & ~MoveCheckFlags;
  }
  return 0;
}
