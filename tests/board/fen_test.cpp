// Setting up positions from FEN: the accepted forms, the rejected ones, and the keys.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "board/board_test_util.h"
#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "support/positions.h"

namespace {

struct FenResult {
  bool accepted;
  std::string output;
};

FenResult trySetFen(const std::string& fen) {
  newPosition(InitialFen);  // makes sure the tables exist
  static Position pos;
  testing::internal::CaptureStdout();
  bool accepted = setFen(pos, fen.c_str());
  return {accepted, testing::internal::GetCapturedStdout()};
}

TEST(SetFen, RejectsMalformedAndImpossiblePositionsWithAMessage) {
  struct Case {
    const char* fen;
    const char* message;
  } cases[] = {
      {"8/8/8/8/8/8/8/8/k6K w - -", "Illegal FEN: too many rows\n"},
      {"4k3/8/8/8/8/8/8/4K3 x - -", "fen: invalid stm: x\n"},
      {"4k3/8/8/8/8/8/8/4K3X w - -", "invalid char in fen: X\n"},
      {"4k3/9/8/8/8/8/8/4K3 w - -", "invalid char in fen: 9\n"},
      {"4k3/8/8/8/8/8/8/4K3\t w - -", "invalid char in fen: \t\n"},
      {"4k3/8/8/8/8/8/8/4K2NN w - -", "Illegal FEN: more than eight files in a row\n"},
      {"4k3/8/8/8/8/8/8/4K3R w - -", "Illegal FEN: more than eight files in a row\n"},
      {"4k3/8/8/8/8/8/8/45 w - -", "Illegal FEN: more than eight files in a row\n"},
      {"8/8/8/8/8/8/8/4K3 w - -", "Illegal FEN: missing black king\n"},
      {"4k3/8/8/8/8/8/8/4KK2 w - -", "Illegal FEN: too many pieces of one kind: K\n"},
      {"4k3/PPPPPPPP/P7/8/8/8/8/4K3 w - -", "Illegal FEN: too many pieces of one kind: P\n"},
      {"4k3/8/8/8/8/8/8/QQQQQQQQ w - -", "Illegal FEN: missing white king\n"},
      {"4k3/8/QQQQQQQQ/QQ6/8/8/8/4K3 w - -", "Illegal FEN: too many pieces of one kind: Q\n"},
      {"4k3/8/QQQQQQQQ/Q7/8/8/P7/4K3 w - -", "Illegal FEN: more pieces than promotions allow\n"},
      {"4k2P/8/8/8/8/8/8/4K3 w - -", "Illegal FEN: pawn on the first or last rank\n"},
      {"4k3/8/8/8/8/8/8/p3K3 w - -", "Illegal FEN: pawn on the first or last rank\n"},
      {"4k3/8/8/8/8/3n4/8/r3K2q w - -", "Illegal FEN: triple check?!\n"},
      {"4k3/8/8/8/8/8/8/4K2r b - -", "Illegal FEN: the side not to move is in check\n"},
      {"8/8/8/8/8/8/8/3kK3 w - -", "Illegal FEN: the side not to move is in check\n"},
  };
  for (const Case& c : cases) {
    FenResult r = trySetFen(c.fen);
    EXPECT_FALSE(r.accepted) << c.fen;
    EXPECT_EQ(r.output, c.message) << c.fen;
  }
}

TEST(SetFen, CastlingFieldsGiveRightsAndGeometry) {
  Position* pos = newPosition("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
  EXPECT_EQ(pos->castleRights, 15);
  EXPECT_EQ(pos->castle.kingFile, 4);
  EXPECT_EQ(pos->castle.queenRookFile, 0);
  EXPECT_EQ(pos->castle.kingRookFile, 7);
  EXPECT_EQ(pos->castle.kingSideEmptyFiles, (1 << 5) | (1 << 6));
  EXPECT_EQ(pos->castle.queenSideEmptyFiles, (1 << 1) | (1 << 2) | (1 << 3));
  EXPECT_EQ(pos->castle.mask[0x00], 11);
  EXPECT_EQ(pos->castle.mask[0x04], 10);
  EXPECT_EQ(pos->castle.mask[0x07], 14);
  EXPECT_EQ(pos->castle.mask[0x70], 7);
  EXPECT_EQ(pos->castle.mask[0x74], 5);
  EXPECT_EQ(pos->castle.mask[0x77], 13);

  pos = newPosition("rk5r/8/8/8/8/8/8/RK5R w HAha - 0 1");
  EXPECT_EQ(pos->castleRights, 15);
  EXPECT_EQ(pos->castle.kingFile, 1);
  EXPECT_EQ(pos->castle.kingRookFile, 7);
  EXPECT_EQ(pos->castle.queenRookFile, 0);

  // K takes the outermost rook: an inner rook on f1 is not the castling rook.
  pos = newPosition("4k3/8/8/8/8/8/8/4KR1R w K - 0 1");
  EXPECT_EQ(pos->castle.kingRookFile, 7);
  // A right without its rook, or with the king off its rank, is ignored.
  pos = newPosition("4k3/8/8/8/8/8/8/4K3 w KQ - 0 1");
  EXPECT_EQ(pos->castleRights, 0);
  pos = newPosition("4k3/8/8/8/8/8/4K3/7R w K - 0 1");
  EXPECT_EQ(pos->castleRights, 0);
  // White and Black share one castling geometry: a right that does not fit the files the
  // other side's rights fixed is dropped rather than castling with a rook that is not there.
  pos = newPosition("3k2r1/8/8/8/8/8/8/4K2R w Kk - 0 1");
  EXPECT_EQ(pos->castleRights, BlackKingSide);  // the last right read fixes the files
}

TEST(SetFen, EnPassantCountersAndKeys) {
  // A valid ep square is kept even when no pawn can capture; its key is part of hashKey.
  Position* withEp = newPosition("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
  Position* without = newPosition("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1");
  EXPECT_EQ(withEp->epSquare, 0x24);
  EXPECT_EQ(withEp->hashKey ^ without->hashKey, zobrist[0x24]);
  // An ep square that no double push can explain (wrong rank, no pawn) is dropped.
  EXPECT_EQ(newPosition("4k3/8/8/8/4P3/8/8/4K3 b - e4 0 1")->epSquare, 0);
  EXPECT_EQ(newPosition("4k3/8/8/8/8/8/8/4K3 b - e3 0 1")->epSquare, 0);
  EXPECT_EQ(newPosition("4k3/8/8/8/4P3/8/8/4K3 w - e3 0 1")->epSquare, 0);

  // The half-move and move numbers are read but not kept.
  Position* pos = newPosition("4k3/8/8/8/8/8/8/4K3 w - - 37 80");
  EXPECT_EQ(fenOf(*pos), "4k3/8/8/8/8/8/8/4K3 w - - 0 0");
  // Empty rank fields are empty ranks.
  EXPECT_EQ(fenOf(*newPosition(InitialFen)),
            "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 0");

  // The key covers pieces, rights and ep, not the side to move; transpositions agree.
  Position* white = newPosition("4k3/8/8/8/8/8/8/R3K3 w Q - 0 1");
  Position* black = newPosition("4k3/8/8/8/8/8/8/R3K3 b Q - 0 1");
  EXPECT_EQ(white->hashKey, black->hashKey);
  Position* a = newPosition(InitialFen);
  Position* b = newPosition(InitialFen);
  for (const char* m : {"Nf3", "Nf6", "Nc3", "Nc6"})
    makeMove(*a, parseMove(*a, m) & ~MoveCheckFlags);
  for (const char* m : {"Nc3", "Nc6", "Nf3", "Nf6"})
    makeMove(*b, parseMove(*b, m) & ~MoveCheckFlags);
  EXPECT_EQ(a->hashKey, b->hashKey);
  EXPECT_EQ(
      a->hashKey,
      newPosition("r1bqkb1r/pppppppp/2n2n2/8/8/2N2N2/PPPPPPPP/R1BQKB1R w KQkq - 4 3")->hashKey);
}

TEST(SetFen, CheckStateOfTheSetUpPosition) {
  EXPECT_EQ(newPosition("4k3/8/8/8/8/8/8/4K2R w K - 0 1")->lastMove, 0u);
  Position* single = newPosition("4k3/8/8/8/8/8/8/4K2r w - - 0 1");
  EXPECT_EQ(single->lastMove & MoveCheckFlags, MoveDirectCheck);
  Position* pawn = newPosition("4k3/8/8/8/8/8/3p4/4K3 w - - 0 1");
  EXPECT_EQ(pawn->lastMove & MoveCheckFlags, MoveDirectCheck);
  Position* knightAndRook = newPosition("4k3/8/8/8/8/3n4/8/r3K3 w - - 0 1");
  EXPECT_EQ(knightAndRook->lastMove & MoveCheckFlags, MoveCheckFlags);
  // Two sliders can check at once after a discovered check; only king moves remain.
  Position* twoSliders = newPosition("4r1k1/8/8/8/1b6/8/8/4K3 w - - 0 1");
  EXPECT_EQ(twoSliders->lastMove & MoveCheckFlags, MoveCheckFlags);
  Move moves[MaxMoves];
  int count = generateLegalMoves(*twoSliders, moves);
  EXPECT_EQ(count, 3);  // d1, f1, f2 (e2 and d2 stay on the lines)
  for (int i = 0; i < count; i++) EXPECT_EQ(moveFrom(moves[i]), 0x04);
}

TEST(SetFen, RandomMutationsAndBytesNeverBreakTheRecord) {
  // Whatever setFen accepts must be a position the move code can work on.
  std::mt19937 rng(42);
  const std::string seeds[] = {
      InitialFen, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "bqnb1rkr/pp3ppp/3ppn2/2p5/5P2/P2P4/NPP1P1PP/BQ1BNRKR w HFhf -",
      "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1"};
  const std::string alphabet = "12345678/pnbrqkPNBRQKwb-KQkqABCDEFGHabcdefgh 0x\t";
  newPosition(InitialFen);  // builds the tables
  static Position pos;
  int accepted = 0;
  for (int i = 0; i < 20000; i++) {
    std::string fen = seeds[rng() % 4];
    if (i % 5 == 4) {
      fen.clear();
      for (int n = int(rng() % 80); n > 0; n--) fen += char(rng() % 256);
    } else {
      for (int edits = 1 + int(rng() % 3); edits > 0; edits--) {
        size_t at = rng() % (fen.size() + 1);
        switch (rng() % 3) {
          case 0:
            fen.insert(at, 1, alphabet[rng() % alphabet.size()]);
            break;
          case 1:
            if (at < fen.size()) fen.erase(at, 1);
            break;
          default:
            if (at < fen.size()) fen[at] = alphabet[rng() % alphabet.size()];
        }
      }
    }
    testing::internal::CaptureStdout();
    bool ok = setFen(pos, fen.c_str());
    testing::internal::GetCapturedStdout();
    if (!ok) continue;
    accepted++;
    ASSERT_EQ(pos.hashKey, computeHashKey(pos)) << fen;
    ASSERT_FALSE(isAttacked(pos, pos.sideToMove, pos.kingSquare(pos.sideToMove ^ 1))) << fen;
    ASSERT_EQ(pos.inCheck(), isAttacked(pos, pos.sideToMove ^ 1, pos.kingSquare(pos.sideToMove)))
        << fen;
    perft(pos, 2, pos.lastMove);
    std::mt19937 play{uint32_t(i)};
    playRandomMoves(pos, 20, play);
    ASSERT_EQ(pos.hashKey, computeHashKey(pos)) << fen;
  }
  EXPECT_GT(accepted, 1000);
}

}  // namespace
