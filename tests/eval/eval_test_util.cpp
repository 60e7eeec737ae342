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

std::string fenOf(const Position& pos) {
  char buffer[128];
  fenString(pos, buffer, sizeof buffer);
  return buffer;
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
    for (char c : *it) flipped += std::isalpha(uint8_t(c)) ? char(std::isupper(uint8_t(c)) ? std::tolower(c) : std::toupper(c)) : c;
  }
  std::string rights;
  if (castling != "-") {
    for (char c : castling) rights += char(std::isupper(uint8_t(c)) ? std::tolower(c) : std::toupper(c));
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
        movePromotion(t) == movePromotion(m) && (t & (MoveEnPassant | MoveCastle)) == (m & (MoveEnPassant | MoveCastle)))
      return t & ~MoveCheckFlags;
  }
  return 0;
}

std::vector<std::string> randomPlayFens(int games, int plies, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::string> fens;
  for (int g = 0; g < games; ++g) {
    Position& pos = positionFrom(InitialFen);
    for (int ply = 0; ply < plies; ++ply) {
      Move moves[MaxMoves];
      const int count = generateLegalMoves(pos, moves);
      if (count == 0) break;
      // Prefer captures now and then so that games reach endings with few pieces.
      Move m = moves[rng() % unsigned(count)];
      if (rng() % 2) {
        for (int i = 0; i < count; ++i)
          if (moveCaptured(moves[i])) m = moves[i];
      }
      if (!makeMove(pos, m & ~MoveCheckFlags)) break;
      fens.push_back(fenOf(pos));
    }
  }
  return fens;
}

std::vector<std::string> gameFens(const std::string& pgnPath, int games, int stride) {
  std::ifstream in(pgnPath);
  std::vector<std::string> fens;
  std::string line, movetext;
  int read = 0;
  auto playGame = [&](const std::string& text) {
    Position& pos = positionFrom(InitialFen);
    std::istringstream tokens(text);
    int ply = 0;
    for (std::string token; tokens >> token;) {
      if (token[0] == '{' || token[0] == '(' || token[0] == '$') continue;
      if (token == "1-0" || token == "0-1" || token == "1/2-1/2" || token == "*") break;
      size_t start = 0;
      while (start < token.size() && (std::isdigit(uint8_t(token[start])) || token[start] == '.')) ++start;
      token = token.substr(start);
      if (token.empty() || token == "*") continue;
      const Move m = parseMove(pos, token.c_str());
      if (!m) break;  // unknown token: keep the positions read so far
      if (!makeMove(pos, m & ~MoveCheckFlags)) break;
      if (++ply >= 10 && ply % stride == 0) fens.push_back(fenOf(pos));
    }
  };
  while (read < games && std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '[') {
      if (!movetext.empty() && line.size() > 0 && line[0] == '[') {
        playGame(movetext);
        movetext.clear();
        ++read;
      }
      continue;
    }
    movetext += line + ' ';
  }
  if (read < games && !movetext.empty()) playGame(movetext);
  return fens;
}
