// Setting up positions from FEN: the rejected ones with their messages, and random damage that
// must never give a record the move code cannot work on. (What accepted FENs set up is checked by
// perft against the file and stockfish, castling rights and en passant included, and the keys by
// the book keys.)
#include <gtest/gtest.h>

#include "board/makemove.h"
#include "board/movegen.h"
#include "support/positions.h"
#include "support/text.h"

namespace {

TEST(SetFen, RejectsMalformedAndImpossiblePositionsWithAMessage) {
  const struct {
    const char* fen;
    const char* message;
  } cases[] = {
      {"8/8/8/8/8/8/8/8/k6K w - -", "too many rows"},
      {"4k3/8/8/8/8/8/8/4K3 x - -", "fen: invalid stm: x"},
      {"4k3/8/8/8/8/8/8/4K3X w - -", "invalid char in fen: X"},
      {"4k3/8/8/8/8/8/8/4K3\t w - -", "invalid char in fen: \t"},
      {"4k3/8/8/8/8/8/8/4K2NN w - -", "more than eight files in a row"},
      {"8/8/8/8/8/8/8/4K3 w - -", "missing black king"},
      {"4k3/8/8/8/8/8/8/4KK2 w - -", "too many pieces of one kind: K"},
      {"4k3/PPPPPPPP/P7/8/8/8/8/4K3 w - -", "too many pieces of one kind: P"},
      {"4k3/8/QQQQQQQQ/Q7/8/8/P7/4K3 w - -", "more pieces than promotions allow"},
      {"4k2P/8/8/8/8/8/8/4K3 w - -", "pawn on the first or last rank"},
      {"4k3/8/8/8/8/3n4/8/r3K2q w - -", "triple check?!"},
      {"4k3/8/8/8/8/8/8/4K2r b - -", "the side not to move is in check"},
  };
  positionFrom(InitialFen);  // the tables
  Position pos;
  for (const auto& c : cases) {
    bool accepted = true;
    const std::string printed = captureStdout([&] { accepted = setFen(pos, c.fen); });
    EXPECT_FALSE(accepted) << c.fen;
    EXPECT_TRUE(contains(printed, std::string(c.message) + "\n")) << c.fen << ": " << printed;
  }
}

TEST(SetFen, RandomDamageNeverGivesABrokenRecord) {
  // Whatever setFen accepts must be a position the move code can work on: keys exact, the side
  // not to move not in check, perft agreeing with the legal-move generator, random play sound.
  std::mt19937 rng(42);
  const std::string seeds[] = {
      InitialFen, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf -",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1"};
  const std::string alphabet = "12345678/pnbrqkPNBRQKwb-KQkqABCDEFGHabcdefgh 0x\t";
  auto pos = positionFrom(InitialFen);
  int accepted = 0;
  for (int i = 0; i < 20000; i++) {
    std::string fen = seeds[rng() % 4];
    if (i % 5 == 4) {
      fen.clear();
      for (int n = int(rng() % 80); n > 0; n--) fen += char(rng() % 256);
    }
    for (int edits = i % 5 == 4 ? 0 : 1 + int(rng() % 3); edits > 0; edits--) {
      const size_t at = rng() % (fen.size() + 1);
      const char c = alphabet[rng() % alphabet.size()];
      if (rng() % 3 == 0)
        fen.insert(at, 1, c);
      else if (at < fen.size())
        rng() % 2 ? fen.erase(at, 1) : fen.replace(at, 1, 1, c);
    }
    bool ok = false;
    captureStdout([&] { ok = setFen(*pos, fen.c_str()); });
    if (!ok) continue;
    accepted++;
    ASSERT_EQ(pos->hashKey, computeHashKey(*pos)) << fen;
    ASSERT_FALSE(isAttacked(*pos, pos->sideToMove, pos->kingSquare(pos->sideToMove ^ 1))) << fen;
    ASSERT_EQ(pos->inCheck(),
              isAttacked(*pos, pos->sideToMove ^ 1, pos->kingSquare(pos->sideToMove)))
        << fen;
    Move moves[MaxMoves];
    const int count = generateLegalMoves(*pos, moves);
    uint64_t leaves = 0;
    for (int m = 0; m < count; m++) {
      const UndoInfo undo = saveUndo(*pos);
      ASSERT_NE(makeMove(*pos, moves[m] & ~MoveCheckFlags), 0u) << fen;
      Move replies[MaxMoves];
      leaves += uint64_t(generateLegalMoves(*pos, replies));
      unmakeMove(*pos, moves[m] & ~MoveCheckFlags, undo);
    }
    ASSERT_EQ(perft(*pos, 2, pos->lastMove), leaves) << fen;
    std::mt19937 play{uint32_t(i)};
    playRandomMoves(*pos, 20, play);
    ASSERT_EQ(pos->hashKey, computeHashKey(*pos)) << fen;
  }
  EXPECT_GT(accepted, 1000);
}

}  // namespace
