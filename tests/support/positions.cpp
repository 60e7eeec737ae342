#include "support/positions.h"

#include <cctype>
#include <fstream>
#include <random>
#include <sstream>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"

namespace {

void ensureTables() {
  static const bool ready = (initTables(), true);
  (void)ready;
}

}  // namespace

std::string fenOf(const Position& pos) {
  char buffer[128];
  fenString(pos, buffer, sizeof buffer);
  return buffer;
}

bool isLegalMove(Position& pos, Move m) {
  Move list[MaxMoves];
  const int n = generateLegalMoves(pos, list);
  for (int i = 0; i < n; i++)
    if (sameMove(list[i], m)) return true;
  return false;
}

std::vector<std::string> randomPlayFens(int games, int plies, unsigned seed) {
  ensureTables();
  std::mt19937 rng(seed);
  std::vector<std::string> fens;
  for (int g = 0; g < games; ++g) {
    Position pos;
    setFen(pos, InitialFen);
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

std::vector<std::string> gameFens(const std::string& pgnPath, int games, int stride, int firstPly) {
  ensureTables();
  std::ifstream in(pgnPath);
  std::vector<std::string> fens;
  std::string line, movetext;
  int read = 0;
  auto playGame = [&](const std::string& text) {
    Position pos;
    setFen(pos, InitialFen);
    std::istringstream tokens(text);
    int ply = 0;
    for (std::string token; tokens >> token;) {
      if (token[0] == '{' || token[0] == '(' || token[0] == '$') continue;
      if (token == "1-0" || token == "0-1" || token == "1/2-1/2" || token == "*") break;
      size_t start = 0;
      while (start < token.size() && (std::isdigit(uint8_t(token[start])) || token[start] == '.'))
        ++start;
      token = token.substr(start);
      if (token.empty() || token == "*") continue;
      const Move m = parseMove(pos, token.c_str());
      if (!m) break;  // unknown token: keep the positions read so far
      if (!makeMove(pos, m & ~MoveCheckFlags)) break;
      if (++ply >= firstPly && ply % stride == 0) fens.push_back(fenOf(pos));
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
