#include "board/board_test_util.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "board/makemove.h"
#include "board/movegen.h"

Position* newPosition(const char* fen) {
  static bool ready = false;
  if (!ready) {
    initTables();
    ready = true;
  }
  static std::vector<std::unique_ptr<Position>> keep;
  keep.push_back(std::make_unique<Position>());
  Position* pos = keep.back().get();
  EXPECT_TRUE(setFen(*pos, fen)) << fen;
  return pos;
}

std::vector<Move> playRandomMoves(Position& pos, int plies, std::mt19937& rng) {
  std::vector<Move> played;
  for (int i = 0; i < plies; i++) {
    Move moves[MaxMoves];
    int count = generateLegalMoves(pos, moves);
    if (count == 0) break;
    Move m = moves[rng() % unsigned(count)];
    Move made = makeMove(pos, m & ~MoveCheckFlags);
    if (!made) {
      ADD_FAILURE() << "legal move refused";
      break;
    }
    played.push_back(made);
  }
  return played;
}

std::vector<PerftLine> readPerftFile(const std::string& path) {
  std::vector<PerftLine> lines;
  std::ifstream in(path);
  std::string text;
  while (std::getline(in, text)) {
    size_t semi = text.find(';');
    if (semi == std::string::npos) continue;
    PerftLine line;
    line.fen = text.substr(0, semi);
    while (!line.fen.empty() && line.fen.back() == ' ') line.fen.pop_back();
    std::stringstream fields(text.substr(semi));
    std::string field;
    while (std::getline(fields, field, ';')) {
      int depth;
      unsigned long long count;
      if (sscanf(field.c_str(), " D%d %llu", &depth, &count) == 2) line.counts.push_back({depth, count});
    }
    lines.push_back(line);
  }
  return lines;
}

std::string chess960Fen(int number) {
  // The standard numbering: bishops, queen and knights placed by the digits of the number.
  char rank[8] = {0};
  int n = number;
  rank[(n % 4) * 2 + 1] = 'b';
  n /= 4;
  rank[(n % 4) * 2] = 'b';
  n /= 4;
  auto placeOnFree = [&](int index, char piece) {
    for (int f = 0; f < 8; f++)
      if (!rank[f] && index-- == 0) {
        rank[f] = piece;
        return;
      }
  };
  placeOnFree(n % 6, 'q');
  n /= 6;
  static const int knights[10][2] = {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}};
  placeOnFree(knights[n][1], 'n');
  placeOnFree(knights[n][0], 'n');
  placeOnFree(0, 'r');
  placeOnFree(0, 'k');
  placeOnFree(0, 'r');
  std::string black(rank, 8), white = black;
  for (char& c : white) c = char(c - 32);
  std::string rights;
  for (int f = 7; f >= 0; f--)
    if (rank[f] == 'r') rights += char('A' + f);
  std::string lower = rights;
  for (char& c : lower) c = char(c + 32);
  return black + "/pppppppp/8/8/8/8/PPPPPPPP/" + white + " w " + rights + lower + " - 0 1";
}
