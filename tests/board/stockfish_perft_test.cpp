// Perft against an independent move generator (Debian's stockfish) on positions reached by
// random play from the standard and from Chess960 start positions.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "board/board_test_util.h"
#include "board/makemove.h"
#include "support/process.h"

namespace {

const char* stockfishPath() {
  for (const char* path : {"/usr/games/stockfish", "/usr/bin/stockfish"})
    if (access(path, X_OK) == 0) return path;
  return nullptr;
}

// FEN with Shredder-style castling (the rook files), which stockfish reads in Chess960 mode.
std::string shredderFen(const Position& pos) {
  char buffer[128];
  fenString(pos, buffer, sizeof buffer);
  const std::string fen(buffer, strnlen(buffer, sizeof buffer));
  size_t afterSide = fen.find(' ', fen.find(' ') + 1) + 1;
  size_t end = fen.find(' ', afterSide);
  std::string rights;
  const CastleGeometry& g = pos.castle;
  if (pos.castleRights & WhiteKingSide) rights += char('A' + g.kingRookFile);
  if (pos.castleRights & WhiteQueenSide) rights += char('A' + g.queenRookFile);
  if (pos.castleRights & BlackKingSide) rights += char('a' + g.kingRookFile);
  if (pos.castleRights & BlackQueenSide) rights += char('a' + g.queenRookFile);
  if (rights.empty()) rights.push_back('-');
  std::string result;
  result.append(fen, 0, afterSide);
  result.append(rights);
  result.append(fen, end, std::string::npos);
  return result;
}

uint64_t stockfishPerft(Process& engine, const std::string& fen, int depth) {
  engine.writeLine("position fen " + fen);
  engine.writeLine("go perft " + std::to_string(depth));
  std::string text = engine.readUntil("Nodes searched", 20000);
  EXPECT_TRUE(engine.matched()) << text;
  size_t at = text.rfind("Nodes searched:");
  return at == std::string::npos ? 0 : std::stoull(text.substr(at + 15));
}

TEST(PerftOracle, AgreesWithStockfishOnRandomStandardAndChess960Positions) {
  const char* path = stockfishPath();
  ASSERT_NE(path, nullptr) << "stockfish not installed (scripts/test installs it)";
  Process engine;
  ASSERT_TRUE(engine.start(path, {})) << engine.failure();
  engine.writeLine("uci");
  engine.readUntil("uciok", 10000);
  ASSERT_TRUE(engine.matched());
  engine.writeLine("setoption name UCI_Chess960 value true");

  std::mt19937 rng(960);
  int compared = 0;
  for (int game = 0; game < 320; game++) {
    std::string start = game % 2 ? std::string(InitialFen) : chess960Fen(int(rng() % 960));
    Position* pos = newPosition(start.c_str());
    playRandomMoves(*pos, 1 + int(rng() % 70), rng);
    std::string fen = shredderFen(*pos);
    uint64_t ours = perft(*pos, 3, pos->previousMove());
    ASSERT_EQ(ours, stockfishPerft(engine, fen, 3)) << fen << " (from " << start << ")";
    compared++;
  }
  EXPECT_EQ(compared, 320);
  engine.writeLine("quit");
  engine.closeInput();
  engine.wait(5000);
}

}  // namespace
