// Perft counts against the published values of the perft file and of a Chess960 position, and
// against an independent move generator (Debian's stockfish) on positions reached by random play
// from the standard and from Chess960 start positions: the whole generator, make and unmake.
#include <gtest/gtest.h>

#include <string>

#include "board/makemove.h"
#include "support/paths.h"
#include "support/positions.h"
#include "support/process.h"

TEST(Perft, EveryCountOfTheStandardFileUpToTenMillionLeaves) {
  int checked = 0;
  for (const PerftLine& line : readPerftFile(dataPath("perft-standard.epd"))) {
    auto pos = positionFrom(line.fen);
    for (auto [depth, expected] : line.counts) {
      if (expected > 10'000'000) continue;
      EXPECT_EQ(perft(*pos, depth, pos->lastMove), expected) << line.fen << " depth " << depth;
      checked++;
    }
  }
  EXPECT_GT(checked, 400);
}

TEST(Perft, Chess960WithFileLetterCastlingAndDepthZero) {
  auto pos = positionFrom("bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf -");
  const uint64_t counts[] = {21, 528, 12189, 326672};
  for (int depth = 1; depth <= 4; depth++)
    EXPECT_EQ(perft(*pos, depth, pos->lastMove), counts[depth - 1]) << depth;
  auto start = positionFrom(InitialFen);
  EXPECT_EQ(perft(*start, 0, start->lastMove), 20u);  // depth 0 counts like depth 1
  EXPECT_EQ(perftCommand(*start, 2), 400u);
}

namespace {

// FEN with Shredder-style castling (the rook files), which stockfish reads in Chess960 mode.
std::string shredderFen(const Position& pos) {
  const std::string fen = fenOf(pos);
  const size_t rightsAt = fen.find(' ', fen.find(' ') + 1) + 1;
  std::string rights;
  const int files[4] = {pos.castle.kingRookFile, pos.castle.kingRookFile, pos.castle.queenRookFile,
                        pos.castle.queenRookFile};
  const uint8_t bits[4] = {WhiteKingSide, BlackKingSide, WhiteQueenSide, BlackQueenSide};
  for (int i : {0, 2, 1, 3})
    if (pos.castleRights & bits[i]) rights += char((i % 2 ? 'a' : 'A') + files[i]);
  return fen.substr(0, rightsAt) + (rights.empty() ? "-" : rights) +
         fen.substr(fen.find(' ', rightsAt));
}

TEST(PerftOracle, AgreesWithStockfishOnRandomStandardAndChess960Positions) {
  const std::string stockfish = findProgram("stockfish");
  ASSERT_NE(stockfish, "") << "stockfish not installed (scripts/test installs it)";
  Process engine;
  ASSERT_TRUE(engine.start(stockfish, {})) << engine.failure();
  engine.writeLine("uci");
  engine.writeLine("setoption name UCI_Chess960 value true");
  std::mt19937 rng(960);
  for (int game = 0; game < 320; game++) {
    const std::string start = game % 2 ? std::string(InitialFen) : chess960Fen(rng());
    auto pos = positionFrom(start);
    playRandomMoves(*pos, 1 + int(rng() % 70), rng);
    const std::string fen = shredderFen(*pos);
    engine.writeLine("position fen " + fen);
    engine.writeLine("go perft 3");
    const std::string text = engine.readUntil("Nodes searched:", 20000);
    ASSERT_TRUE(engine.matched()) << text;
    const uint64_t theirs = std::stoull(text.substr(text.rfind("Nodes searched:") + 15));
    ASSERT_EQ(perft(*pos, 3, pos->previousMove()), theirs) << fen << " (from " << start << ")";
  }
  engine.writeLine("quit");
  engine.closeInput();
  EXPECT_EQ(engine.wait(5000), 0);
}

}  // namespace
