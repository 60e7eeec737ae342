// Reading moves in every notation the engine meets, and printing them in its long notation.
#include "board/notation.h"

#include <gtest/gtest.h>

#include <string>

#include "support/positions.h"
#include "support/text.h"

namespace {

std::string printed(const Position& pos, Move m) {
  char buffer[MoveTextSize];
  return printMove(pos, buffer, m);
}

TEST(ParseMove, EveryWritingOfAMoveAndWhatItPrints) {
  const char* start = InitialFen;
  const char* promote = "1n5k/4P3/8/8/8/8/8/4K3 w - - 0 1";
  const char* castle = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1";
  const char* fischer = "rk5r/8/8/8/8/8/8/RK5R w HAha - 0 1";
  const char* knights = "4k3/8/8/8/8/5N2/8/1N2K3 w - - 0 1";
  const char* inCheck = "4k3/8/8/8/8/8/4r3/R3K3 w Q - 0 1";
  const struct {
    const char* fen;
    std::vector<const char*> forms;
    const char* expected;  // "%": no move
  } cases[] = {
      {start, {"e2e4", "e4", "Pe4", "e2-e4", "e2e4!", "e4?!"}, "e2e4"},
      {start, {"Nf3", "Ng1f3", "Ng1-f3"}, "g1f3"},
      {start, {"e5", "Ke2", "%e4", ""}, "%"},  // unreachable, occupied, junk, nothing
      {promote, {"e7e8", "e7e8q", "e8=Q", "e8Q", "e8"}, "e7e8=Q+"},
      {promote, {"e7e8n", "e8=N"}, "e7e8=N"},
      {promote, {"e7e8b"}, "e7e8=B"},
      {promote, {"e7e8r"}, "e7e8=R+"},
      {"1n6/P7/7k/8/8/8/8/4K3 w - - 0 1", {"axb8=Q"}, "a7xb8=Q"},
      {"rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2", {"Bb5"}, "f1b5"},
      {castle, {"O-O", "o-o", "e1g1", "e1h1", "Kg1"}, "O-O"},
      {castle, {"O-O-O", "o-o-o", "e1c1", "e1a1"}, "O-O-O"},
      {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", {"O-O-O"}, "O-O-O"},
      {"r3k2r/8/8/8/8/8/5r2/R3K2R w KQkq - 0 1", {"O-O"}, "%"},  // through an attacked square
      {fischer, {"b1a1", "O-O-O"}, "O-O-O"},  // the king takes its own rook to castle
      {fischer, {"b1h1"}, "O-O"},
      {fischer, {"b1c1"}, "b1c1"},  // a king step, not castling
      {knights, {"Nbd2"}, "b1d2"},
      {knights, {"Nfd2", "N3d2"}, "f3d2"},
      {inCheck, {"O-O-O", "Ra8"}, "%"},  // in check only evasions match
      {inCheck, {"Kxe2"}, "e1xe2"},
      {"rnbqkbnr/ppp1pppp/8/3p4/4P3/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 2", {"exd5"}, "e4xd5"},
      {"rnbqkbnr/ppppp2p/5p2/6p1/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 3", {"Qh5"}, "d1h5+"},
      {"4k3/8/8/8/4N3/8/8/4R1K1 w - - 0 1", {"Nd6"}, "e4d6++"},
  };
  for (const auto& c : cases) {
    auto pos = positionFrom(c.fen);
    for (const char* form : c.forms) {
      std::string text;
      captureStdout([&] { text = printed(*pos, parseMove(*pos, form)); });
      EXPECT_EQ(text, c.expected) << form << " in " << c.fen;
    }
  }
  auto pos = positionFrom(start);
  EXPECT_EQ(parseMove(*pos, nullptr), 0u);
}

// After a move that gives check, the game's history tells the parser to read evasions only.
TEST(ParseMove, EvasionsAfterACheckInTheGame) {
  auto checked = positionFrom("4k3/8/8/8/8/8/8/R3K3 w Q - 0 1");
  playMoves(*checked, {"Ra8"});
  EXPECT_EQ(printed(*checked, parseMove(*checked, "Kd7")), "e8d7");
  EXPECT_EQ(parseMove(*checked, "Kd8"), 0u);
}

}  // namespace
