// Static exchange evaluation: the outcome of capture sequences on one square, with x-ray
// attackers, the king as the last capturer and promotions.
#include "eval/exchange.h"

#include <gtest/gtest.h>

#include <cstring>

#include "board/notation.h"
#include "support/positions.h"

namespace {

TEST(StaticExchange, ValuesOfCaptureSequences) {
  const struct {
    const char* fen;
    const char* move;
    int value;  // pawn 1, knight and bishop 3, rook 5, queen 10
  } cases[] = {
      {"3rk3/8/8/3q4/4P3/8/8/4K3 w - - 0 1", "exd5", 10},  // a defended queen is still won
      {"4k3/8/2p5/3p4/8/8/3Q4/4K3 w - - 0 1", "Qxd5", 1 - 10},
      {"4k3/8/8/3n4/8/8/3R4/4K3 w - - 0 1", "Rxd5", 3},  // undefended
      {"4k3/8/2p5/3p4/8/4N3/8/4K3 w - - 0 1", "Nxd5", 1 - 3},
      {"4k3/8/2p5/8/8/4N3/8/4K3 w - - 0 1", "Nd5", -3},  // a quiet move onto a guarded square
      {"4k3/8/8/8/8/4N3/8/4K3 w - - 0 1", "Nd5", 0},
      // X-rays: a second rook, a queen behind the capturer; doubled defenders behind the pawn.
      {"4r1k1/4r3/8/8/8/8/4R3/4R1K1 w - - 0 1", "Rxe7", 5},
      {"4r1k1/8/8/4n3/8/8/4R3/4R1K1 w - - 0 1", "Rxe5", 3},
      {"4r1k1/8/8/4p3/8/8/4R3/4Q1K1 w - - 0 1", "Rxe5", 1},
      {"4r1k1/8/8/4p3/8/8/4R3/6K1 w - - 0 1", "Rxe5", 1 - 5},
      {"4r1k1/4r3/8/4p3/8/8/4R3/4R1K1 w - - 0 1", "Rxe5", 1 - 5},
      // A bishop behind a recapturing pawn joins on the diagonal (without it: -2).
      {"3r2k1/8/2p5/3p4/1N2P3/5B2/8/6K1 w - - 0 1", "Nxd5", -1},
      // Black's recapture uncovers White's bishop behind it: Rxd5 Bxd5 Bxd5 loses nothing, so
      // the capture is worth its knight (with the bishop on Black's side it would lose 2).
      {"6Bk/8/4b3/3n4/8/8/8/K2R4 w - - 0 1", "Rxd5", 3},
      // A slider behind the moving piece attacks through the emptied origin.
      {"6k1/8/8/8/3B4/8/8/b5K1 w - - 0 1", "Be5", -3},
      {"3r2k1/8/8/3n4/3R4/8/8/3K4 w - - 0 1", "Rxd5", 3 - 5},
      // Kings: no recapture into the other king's guard; the last capturer when nothing is left.
      {"8/3k4/4p3/5K2/8/8/8/4R3 w - - 0 1", "Rxe6", 1},
      {"8/3k4/4p3/8/8/8/8/4R2K w - - 0 1", "Rxe6", 1 - 5},
      {"6k1/8/3p4/4p3/5K2/5N2/8/8 w - - 0 1", "Nxe5", 1 - 3 + 1},
      {"8/3k4/4p3/8/8/8/4R3/4R2K w - - 0 1", "Rxe6", 1},
      // Promotions gain the queen's extra value; en passant wins the pawn.
      {"7k/P7/8/8/8/8/8/K7 w - - 0 1", "a8=Q", 8},
      {"1r5k/P7/8/8/8/8/8/K7 w - - 0 1", "a8=Q", 8 - 10},
      {"4k3/8/8/3Pp3/8/8/8/4K3 w - e6 0 1", "dxe6", 1},
  };
  for (const auto& c : cases) {
    auto pos = positionFrom(c.fen);
    Position before;
    std::memcpy(&before, pos.get(), sizeof before);
    const Move m = parseMove(*pos, c.move);
    ASSERT_NE(m, 0u) << c.move << " in " << c.fen;
    EXPECT_EQ(staticExchange(*pos, int(pos->sideToMove), m & ~MoveCheckFlags), c.value)
        << c.move << " in " << c.fen;
    // The exchange is played out in the record and taken back entirely.
    EXPECT_EQ(std::memcmp(pos->board, before.board, sizeof before.board), 0) << c.fen;
    EXPECT_EQ(std::memcmp(pos->pieceSquare, before.pieceSquare, sizeof before.pieceSquare), 0);
  }
}

}  // namespace
