// Colour symmetry: a position and its colour-flipped twin (ranks mirrored, colours, side to
// move, castling rights and en-passant square swapped) get the same evaluation, and mirrored
// moves the same exchange value. Positions come from random play and from real games.
#include <gtest/gtest.h>

#include <memory>

#include "board/movegen.h"
#include "eval/eval_test_util.h"
#include "eval/evaluator.h"
#include "eval/exchange.h"
#include "support/paths.h"

namespace {

// The piece term reads its tables file-mirrored when the enemy king stands on a1..d1; the twin
// of such a position has that king on a8..d8, where no mirror applies. Such positions are left
// out here and covered by FileMirrorOfThePieceTerm.
bool kingOnQueenSideBackRank(const Position& pos) {
  for (int side : {White, Black}) {
    const int k = pos.kingSquare(side);
    if ((k & 0x70) == 0x00 && (k & 7) <= 3) return true;
    if ((k & 0x70) == 0x70 && (k & 7) <= 3) return true;
  }
  return false;
}

void checkSymmetry(const std::vector<std::string>& fens, int& compared) {
  Position& holder = positionFrom(InitialFen);
  auto evalP = std::make_unique<Evaluator>(holder);
  auto evalT = std::make_unique<Evaluator>(holder);
  for (const std::string& fen : fens) {
    Position& pos = positionFrom(fen);
    const std::string twinFen = flipFen(fen);
    Position& twin = positionFrom(twinFen);
    ASSERT_EQ(flipFen(twinFen), fen);

    Move moves[MaxMoves];
    const int count = generateLegalMoves(pos, moves);
    for (int i = 0; i < count; ++i) {
      const Move m = moves[i] & ~MoveCheckFlags;
      const Move t = mirroredMove(twin, m);
      ASSERT_NE(t, 0u) << fen;
      ASSERT_EQ(staticExchange(pos, int(pos.sideToMove), m), staticExchange(twin, int(twin.sideToMove), t))
          << fen << " move " << std::hex << m;
    }
    if (kingOnQueenSideBackRank(pos)) continue;
    evalP->attach(pos);
    evalT->attach(twin);
    ASSERT_EQ(evalP->evaluate(), evalT->evaluate()) << fen << "\n" << twinFen;
    ++compared;
  }
}

TEST(ColourSymmetry, RandomPlay) {
  int compared = 0;
  checkSymmetry(randomPlayFens(60, 120, 2024), compared);
  EXPECT_GT(compared, 2000);
}

TEST(ColourSymmetry, RealGames) {
  const std::vector<std::string> fens = gameFens(dataPath("master-games.pgn"), 150, 3);
  ASSERT_GT(fens.size(), 1000u);
  int compared = 0;
  checkSymmetry(fens, compared);
  EXPECT_GT(compared, 500);
}

TEST(ColourSymmetry, FileMirrorOfThePieceTerm) {
  // Every piece square table reads the same from both wings, so the file mirror keyed on the
  // White king's queen-side squares cannot change a score: positions with a king there stay
  // symmetric too.
  int compared = 0;
  std::vector<std::string> fens;
  for (const std::string& fen : randomPlayFens(60, 120, 99)) {
    if (kingOnQueenSideBackRank(positionFrom(fen))) fens.push_back(fen);
  }
  for (const char* fen : {"r3kbnr/pp3ppp/2n5/3q4/8/2N5/PPP2PPP/2KR1BNR w kq - 0 1",
                          "2kr3r/ppp2ppp/2n5/8/3Q4/5N2/PPP2PPP/2KR3R b - - 0 1"})
    fens.push_back(fen);
  Position& holder = positionFrom(InitialFen);
  auto evalP = std::make_unique<Evaluator>(holder);
  auto evalT = std::make_unique<Evaluator>(holder);
  for (const std::string& fen : fens) {
    Position& pos = positionFrom(fen);
    Position& twin = positionFrom(flipFen(fen));
    evalP->attach(pos);
    evalT->attach(twin);
    ASSERT_EQ(evalP->pieceTerm(White), evalT->pieceTerm(Black)) << fen;
    ASSERT_EQ(evalP->pieceTerm(Black), evalT->pieceTerm(White)) << fen;
    ASSERT_EQ(evalP->evaluate(), evalT->evaluate()) << fen;
    ++compared;
  }
  EXPECT_GT(compared, 20);
}

}  // namespace
