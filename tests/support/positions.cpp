#include "support/positions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"

std::unique_ptr<Position> positionFrom(const std::string& fen) {
  static const bool ready = (initTables(), true);
  (void)ready;
  auto pos = std::make_unique<Position>();
  EXPECT_TRUE(setFen(*pos, fen.c_str())) << fen;
  return pos;
}

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

void playMoves(Position& pos, const std::vector<std::string>& moves) {
  for (const std::string& text : moves) {
    const Move m = parseMove(pos, text.c_str());
    const Move made = m ? makeMove(pos, m & ~MoveCheckFlags) : 0;
    ASSERT_NE(made, 0u) << text << " in " << fenOf(pos);
    pos.lastMove = made;
  }
}

std::vector<Move> playRandomMoves(Position& pos, int plies, std::mt19937& rng, bool preferCaptures,
                                  int choices) {
  std::vector<Move> played;
  for (int ply = 0; ply < plies && int(pos.ply) < MaxGamePly; ply++) {
    Move moves[MaxMoves];
    int count = generateLegalMoves(pos, moves);
    if (count == 0) break;
    if (choices > 0 && count > choices) count = choices;
    Move m = moves[rng() % unsigned(count)];
    if (preferCaptures && rng() % 2) {
      for (int i = 0; i < count; ++i)
        if (moveCaptured(moves[i])) m = moves[i];
    }
    const Move made = makeMove(pos, m & ~MoveCheckFlags);
    if (!made) {
      ADD_FAILURE() << "a generated legal move was refused in " << fenOf(pos);
      break;
    }
    pos.lastMove = made;
    played.push_back(made);
  }
  return played;
}

std::vector<std::string> randomPlayFens(int games, int plies, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::string> fens;
  for (int g = 0; g < games; ++g) {
    auto pos = positionFrom(InitialFen);
    for (int ply = 0; ply < plies && !playRandomMoves(*pos, 1, rng, true).empty(); ++ply)
      fens.push_back(fenOf(*pos));
  }
  return fens;
}

std::vector<std::string> gameFens(const std::string& pgnPath, int games, int stride, int firstPly) {
  std::ifstream in(pgnPath);
  EXPECT_TRUE(in.is_open()) << "cannot read " << pgnPath;
  std::vector<std::string> fens;
  int played = 0;
  auto playGame = [&](const std::string& movetext) {
    auto pos = positionFrom(InitialFen);
    std::istringstream tokens(movetext);
    int ply = 0;
    for (std::string token; tokens >> token;) {
      if (token == "1-0" || token == "0-1" || token == "1/2-1/2" || token == "*") break;
      token.erase(0, token.find_first_not_of("0123456789."));
      if (token.empty()) continue;
      const Move m = parseMove(*pos, token.c_str());
      if (!m || !makeMove(*pos, m & ~MoveCheckFlags)) {
        ADD_FAILURE() << "game " << played + 1 << " of " << pgnPath << ": no move " << token;
        return;
      }
      if (++ply >= firstPly && ply % stride == 0) fens.push_back(fenOf(*pos));
    }
    played++;
  };
  std::string line, movetext;
  while (played < games && std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty() && line[0] == '[') {
      if (!movetext.empty()) playGame(movetext);
      movetext.clear();
    } else {
      movetext += line + ' ';
    }
  }
  if (played < games && !movetext.empty()) playGame(movetext);
  EXPECT_EQ(played, games) << "games read from " << pgnPath;
  return fens;
}

std::string chess960Fen(unsigned seed) {
  std::mt19937 rng(seed);
  std::string rank = "rnbqkbnr";
  do std::shuffle(rank.begin(), rank.end(), rng);
  while ((rank.find('b') + rank.rfind('b')) % 2 == 0 || rank.find('k') < rank.find('r') ||
         rank.find('k') > rank.rfind('r'));
  std::string white = rank;
  for (char& c : white) c = char(std::toupper(c));
  const char rights[] = {char('A' + rank.rfind('r')), char('A' + rank.find('r')),
                         char('a' + rank.rfind('r')), char('a' + rank.find('r')), 0};
  return rank + "/pppppppp/8/8/8/8/PPPPPPPP/" + white + " w " + rights + " - 0 1";
}

std::vector<PerftLine> readPerftFile(const std::string& path) {
  std::ifstream in(path);
  EXPECT_TRUE(in.is_open()) << "cannot read " << path;
  std::vector<PerftLine> lines;
  for (std::string text; std::getline(in, text);) {
    const size_t semi = text.find(';');
    if (semi == std::string::npos) continue;
    PerftLine line{text.substr(0, text.find_last_not_of(' ', semi - 1) + 1), {}};
    std::stringstream fields(text.substr(semi));
    for (std::string field; std::getline(fields, field, ';');) {
      int depth;
      unsigned long long count;
      if (sscanf(field.c_str(), " D%d %llu", &depth, &count) == 2)
        line.counts.push_back({depth, count});
    }
    EXPECT_FALSE(line.counts.empty()) << text;
    lines.push_back(line);
  }
  EXPECT_FALSE(lines.empty()) << "no perft lines in " << path;
  return lines;
}
