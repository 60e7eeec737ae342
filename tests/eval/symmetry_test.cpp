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

// The piece term reads its tables file-mirrored when the enemy king stands on a1..d1; the twin
// of such a position has that king on a8..d8, where no mirror applies. Such positions are left
// out of the plain comparison and covered by FileMirrorOfThePieceTerm.
bool kingOnQueenSideBackRank(const Position& pos) {
  for (int side : {White, Black}) {
    const int k = pos.kingSquare(side);
    if (((k & 0x70) == 0x00 || (k & 0x70) == 0x70) && (k & 7) <= 3) return true;
  }
  return false;
}

// Compares every twin pair; returns how many evaluations were compared.
int expectSymmetric(const std::vector<std::string>& fens, bool queenSideKings) {
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
    if (kingOnQueenSideBackRank(*pos) != queenSideKings) continue;
    evalP->attach(*pos);
    evalT->attach(*twin);
    EXPECT_EQ(evalP->evaluate(), evalT->evaluate()) << fen << "\n" << twinFen;
    if (queenSideKings) {
      EXPECT_EQ(evalP->pieceTerm(White), evalT->pieceTerm(Black)) << fen;
      EXPECT_EQ(evalP->pieceTerm(Black), evalT->pieceTerm(White)) << fen;
    }
    ++compared;
    if (testing::Test::HasFailure()) break;  // one position's report is enough
  }
  return compared;
}

TEST(ColourSymmetry, RandomPlay) {
  EXPECT_GT(expectSymmetric(randomPlayFens(60, 120, 2024), false), 2000);
}

TEST(ColourSymmetry, RealGames) {
  EXPECT_GT(expectSymmetric(gameFens(dataPath("master-games.pgn"), 150, 3), false), 1000);
}

// Every piece-square table reads the same from both wings, so the file mirror keyed on the White
// king's queen-side squares cannot change a score: positions with a king there stay symmetric.
TEST(ColourSymmetry, FileMirrorOfThePieceTerm) {
  std::vector<std::string> fens = randomPlayFens(60, 120, 99);
  fens.push_back("r3kbnr/pp3ppp/2n5/3q4/8/2N5/PPP2PPP/2KR1BNR w kq - 0 1");
  fens.push_back("2kr3r/ppp2ppp/2n5/8/3Q4/5N2/PPP2PPP/2KR3R b - - 0 1");
  EXPECT_GT(expectSymmetric(fens, true), 20);
}

}  // namespace
