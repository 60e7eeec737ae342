// Reading moves in every notation the engine meets, and printing them.
#include <gtest/gtest.h>

#include <string>

#include "board/board_test_util.h"
#include "board/makemove.h"
#include "board/notation.h"

namespace {

std::string text(const Position& pos, Move m) {
  char buffer[MoveTextSize];
  return printMove(pos, buffer, m);
}

std::string parsed(const char* fen, const char* move) {
  Position* pos = newPosition(fen);
  return text(*pos, parseMove(*pos, move));
}

TEST(ParseMove, CoordinateAlgebraicAndDecoratedFormsAgree) {
  for (const char* form : {"e2e4", "e4", "Pe4", "e2-e4", "e2e4!", "e4?!"}) EXPECT_EQ(parsed(InitialFen, form), "e2e4") << form;
  EXPECT_EQ(parsed(InitialFen, "Nf3"), "g1f3");
  EXPECT_EQ(parsed(InitialFen, "Ng1f3"), "g1f3");
  EXPECT_EQ(parsed(InitialFen, "Ng1-f3"), "g1f3");
  EXPECT_EQ(parsed(InitialFen, "e5"), "%");   // no pawn can reach e5
  EXPECT_EQ(parsed(InitialFen, "Ke2"), "%");  // occupied by an own pawn
  EXPECT_EQ(parsed(InitialFen, "%e4"), "%");
  EXPECT_EQ(parsed(InitialFen, ""), "%");
  Position* pos = newPosition(InitialFen);
  EXPECT_EQ(parseMove(*pos, nullptr), 0u);
}

TEST(ParseMove, PromotionsByLetterAndPosition) {
  const char* fen = "1n5k/4P3/8/8/8/8/8/4K3 w - - 0 1";
  for (const char* form : {"e7e8", "e7e8q", "e8=Q", "e8Q", "e8"}) EXPECT_EQ(parsed(fen, form), "e7e8=Q+") << form;
  EXPECT_EQ(parsed(fen, "e7e8n"), "e7e8=N");
  EXPECT_EQ(parsed(fen, "e8=N"), "e7e8=N");
  EXPECT_EQ(parsed(fen, "e7e8b"), "e7e8=B");
  EXPECT_EQ(parsed(fen, "e7e8r"), "e7e8=R+");
  // A capture-promotion with the file of origin.
  EXPECT_EQ(parsed("1n6/P7/7k/8/8/8/8/4K3 w - - 0 1", "axb8=Q"), "a7xb8=Q");
  // "Bb5" is a bishop move, not a promotion.
  EXPECT_EQ(parsed("rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2", "Bb5"), "f1b5");
}

TEST(ParseMove, CastlingInEveryWriting) {
  const char* fen = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
  for (const char* form : {"O-O", "o-o", "e1g1", "e1h1", "Kg1"}) EXPECT_EQ(parsed(fen, form), "O-O") << form;
  for (const char* form : {"O-O-O", "o-o-o", "e1c1", "e1a1"}) EXPECT_EQ(parsed(fen, form), "O-O-O") << form;
  EXPECT_EQ(parsed("r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", "O-O-O"), "O-O-O");
  testing::internal::CaptureStdout();
  EXPECT_EQ(parsed(fen, "0-0"), "%");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "illegal char in move 0-0: 48\n");
  // Castling through an attacked square is no move at all.
  EXPECT_EQ(parsed("r3k2r/8/8/8/8/8/5r2/R3K2R w KQkq - 0 1", "O-O"), "%");
  // Chess960: a king on b1 castles long by taking its rook on a1; b1c1 stays a king step.
  const char* fischer = "rk5r/8/8/8/8/8/8/RK5R w HAha - 0 1";
  EXPECT_EQ(parsed(fischer, "b1a1"), "O-O-O");
  EXPECT_EQ(parsed(fischer, "b1h1"), "O-O");
  Position* pos = newPosition(fischer);
  Move step = parseMove(*pos, "b1c1");
  EXPECT_EQ(text(*pos, step), "b1c1");
  EXPECT_FALSE(step & MoveCastle);
}

TEST(ParseMove, AmbiguityIsReportedAndResolvedByTheOrigin) {
  // Knights in list order: b1 first, then the g1 knight that went to f3.
  Position* game = newPosition(InitialFen);
  for (const char* m : {"d4", "d5", "Nf3", "Nf6"}) makeMove(*game, parseMove(*game, m) & ~MoveCheckFlags);
  testing::internal::CaptureStderr();
  EXPECT_EQ(parseMove(*game, "Nd2"), 0u);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "ambiguous move: b1d2 _and_ f3d2\n");
  const char* fen = "4k3/8/8/8/8/5N2/8/1N2K3 w - - 0 1";
  EXPECT_EQ(parsed(fen, "Nbd2"), "b1d2");
  EXPECT_EQ(parsed(fen, "Nfd2"), "f3d2");
  EXPECT_EQ(parsed(fen, "N3d2"), "f3d2");
}

TEST(ParseMove, InCheckOnlyEvasionsMatch) {
  const char* fen = "4k3/8/8/8/8/8/4r3/R3K3 w Q - 0 1";
  EXPECT_EQ(parsed(fen, "O-O-O"), "%");
  EXPECT_EQ(parsed(fen, "Kxe2"), "e1xe2");
  EXPECT_EQ(parsed(fen, "Ra8"), "%");
  // After a move that gives check, the history tells the parser to use evasions.
  Position* pos = newPosition("4k3/8/8/8/8/8/8/R3K3 w Q - 0 1");
  makeMove(*pos, parseMove(*pos, "Ra8") & ~MoveCheckFlags);
  EXPECT_TRUE(pos->inCheck());
  EXPECT_EQ(text(*pos, parseMove(*pos, "Kd7")), "e8d7");
  EXPECT_EQ(parseMove(*pos, "Kd8"), 0u);
}

TEST(PrintMove, LongNotationWithCapturesPromotionsAndChecks) {
  Position* pos = newPosition(InitialFen);
  EXPECT_EQ(text(*pos, 0), "%");
  EXPECT_EQ(parsed("rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 2", "exd5"), "e4xd5");
  EXPECT_EQ(parsed("rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2", "Qh5"), "d1h5");
  EXPECT_EQ(parsed("rnbqkbnr/ppppp2p/5p2/6p1/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 3", "Qh5"), "d1h5+");
  EXPECT_EQ(parsed("4k3/8/8/8/4N3/8/8/4R1K1 w - - 0 1", "Nd6"), "e4d6++");
  char buffer[MoveTextSize];
  EXPECT_STREQ(coordinateMove(buffer, makeMoveWord(0x64, 0x74) | (Move(Knight) << 24)), "e7e8n");
  EXPECT_STREQ(coordinateMove(buffer, makeMoveWord(0x04, 0x06) | MoveCastle), "e1g1");
}

}  // namespace
