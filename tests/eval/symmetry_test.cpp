// Colour symmetry: a position and its colour-flipped twin (ranks mirrored, colours, side to move,
// castling rights and en-passant square swapped) get the same evaluation, and mirrored moves the
// same exchange value. Positions come from random play and from real games.
#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <sstream>

#include "board/movegen.h"
#include "eval/evaluator.h"
#include "eval/exchange.h"
#include "support/paths.h"
#include "support/positions.h"

namespace {

std::string swapCase(std::string text) {
  for (char& c : text) c = char(std::isupper(uint8_t(c)) ? std::tolower(c) : std::toupper(c));
  return text;
}

std::string flipFen(const std::string& fen) {
  std::istringstream in(fen);
  std::string placement, side, castling, ep, rest;
  in >> placement >> side >> castling >> ep;
  std::getline(in, rest);
  std::string flipped;
  std::stringstream ranks(placement);
  for (std::string row; std::getline(ranks, row, '/');)
    flipped = swapCase(row) + (flipped.empty() ? "" : "/") + flipped;
  if (ep != "-") ep[1] = char('1' + ('8' - ep[1]));
  return flipped + (side == "w" ? " b " : " w ") + swapCase(castling) + " " + ep + rest;
}

// m mirrored into the colour-flipped twin (0 if the twin has no such move).
Move mirroredMove(Position& twin, Move m) {
  Move moves[MaxMoves];
  const int count = generateLegalMoves(twin, moves);
  for (int i = 0; i < count; ++i)
    if (moveFrom(moves[i]) == (moveFrom(m) ^ 0x70) && moveTo(moves[i]) == (moveTo(m) ^ 0x70) &&
        movePromotion(moves[i]) == movePromotion(m))
      return moves[i] & ~MoveCheckFlags;
  return 0;
}

// Compares every twin pair; returns how many evaluations were compared.
int expectSymmetric(const std::vector<std::string>& fens) {
  auto holder = positionFrom(InitialFen);
  auto evalP = std::make_unique<Evaluator>(*holder), evalT = std::make_unique<Evaluator>(*holder);
  int compared = 0;
  for (const std::string& fen : fens) {
    auto pos = positionFrom(fen);
    const std::string twinFen = flipFen(fen);
    auto twin = positionFrom(twinFen);
    EXPECT_EQ(flipFen(twinFen), fen);
    Move moves[MaxMoves];
    const int count = generateLegalMoves(*pos, moves);
    for (int i = 0; i < count; ++i) {
      const Move m = moves[i] & ~MoveCheckFlags, t = mirroredMove(*twin, m);
      EXPECT_NE(t, 0u) << fen;
      EXPECT_EQ(staticExchange(*pos, int(pos->sideToMove), m),
                staticExchange(*twin, int(twin->sideToMove), t))
          << fen << " move " << std::hex << m;
    }
    // The piece term reads its tables file-mirrored when the enemy king stands on a1..d1 (and
    // not for its twin on a8..d8): the tables read the same from both wings, so it changes nothing.
    evalP->attach(*pos);
    evalT->attach(*twin);
    EXPECT_EQ(evalP->evaluate(), evalT->evaluate()) << fen << "\n" << twinFen;
    ++compared;
    if (testing::Test::HasFailure()) break;  // one position's report is enough
  }
  return compared;
}

TEST(ColourSymmetry, RandomPlay) {
  EXPECT_GT(expectSymmetric(randomPlayFens(60, 120, 2024)), 2000);
}

TEST(ColourSymmetry, RealGames) {
  EXPECT_GT(expectSymmetric(gameFens(dataPath("master-games.pgn"), 150, 3)), 1000);
}

}  // namespace
