// Book files store position keys, so the board's Zobrist table is part of the file format:
// these keys must never change, or every book built so far stops answering.
#include "book/book_file.h"
#include "book/book_test_util.h"

TEST(BookKeys, KeysOfKnownPositionsArePinned) {
  struct Pinned {
    const char* fen;
    uint64_t key;
  };
  const Pinned pinned[] = {
      {InitialFen, 0x58E161561FE231FCull},
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1", 0x1C3D11AE410FA18Dull},
      {"rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3", 0xFAB47C7179D1C5DCull},
      {"r3k2r/8/8/8/8/8/8/R3K2R b Kq - 0 1", 0xB34C1631F9794252ull},
      {"8/8/8/8/8/8/8/K6k w - - 0 1", 0x07604871AD693D46ull},
  };
  for (const Pinned& p : pinned) {
    auto pos = positionFrom(p.fen);
    EXPECT_EQ(bookKey(*pos), p.key) << p.fen;
    // The side to move is the lowest bit of the book key.
    EXPECT_EQ(bookKey(*pos) ^ pos->hashKey, pos->sideToMove == Black ? 1u : 0u) << p.fen;
  }
}

TEST(BookKeys, PlayedPositionsHaveTheKeysOfTheirSetUp) {
  auto played = positionFrom(InitialFen);
  playMoves(*played, {"e4"});
  EXPECT_EQ(bookKey(*played), 0x1C3D11AE410FA18Dull);
  playMoves(*played, {"d5", "e5", "f5"});  // en passant now possible on f6
  EXPECT_EQ(bookKey(*played), 0xFAB47C7179D1C5DCull);
}
