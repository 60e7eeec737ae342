// The whole evaluation: drawn and drawish endings, the tempo, the material imbalance, king and
// piece terms, and the evaluation cache.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "eval/eval_test_util.h"
#include "eval/evaluator.h"

namespace {

int evaluateFen(const std::string& fen) {
  Position& pos = positionFrom(fen);
  auto eval = std::make_unique<Evaluator>(pos);
  return eval->evaluate();
}

uint32_t counter(int pawns, int knights, int bishops, int rooks, int queens) {
  const uint32_t units = 3 * knights + 3 * bishops + 5 * rooks + 10 * queens;
  const uint32_t pieces = knights + bishops + rooks + queens;
  return units | pawns << 8 | knights << 12 | bishops << 16 | rooks << 20 | queens << 24 | pieces << 28;
}

TEST(Evaluate, EndingsThatCannotBeWon) {
  // Two knights cannot force mate: exactly 0, whoever has them and whoever moves.
  EXPECT_EQ(evaluateFen("8/8/4k3/8/8/2NN4/8/4K3 w - - 0 1"), 0);
  EXPECT_EQ(evaluateFen("8/8/4k3/8/8/2NN4/8/4K3 b - - 0 1"), 0);
  EXPECT_EQ(evaluateFen("4k3/8/2nn4/8/8/8/8/4K3 w - - 0 1"), 0);
  // Bishop and rook pawn against the king in the corner: the wrong bishop draws.
  EXPECT_EQ(evaluateFen("7k/8/8/7P/4B3/8/8/4K3 w - - 0 1"), 0);    // light bishop, h8 dark
  EXPECT_GT(evaluateFen("7k/8/8/7P/8/8/8/2B1K3 w - - 0 1"), 300);  // dark bishop wins
  EXPECT_EQ(evaluateFen("4k3/8/8/3b4/p7/8/8/1K6 b - - 0 1"), 0);   // Black: a1 dark, bishop light
  // King in front of a rook pawn: drawn.
  EXPECT_EQ(evaluateFen("k7/8/8/P7/8/8/8/4K3 w - - 0 1"), 0);
  EXPECT_EQ(evaluateFen("k7/8/8/8/7p/8/8/6K1 b - - 0 1"), 0);
  // A king behind the pawn does not hold it.
  EXPECT_GT(evaluateFen("8/8/8/P7/8/k7/8/4K3 w - - 0 1"), 50);
}

TEST(Evaluate, DrawishMaterialIsScaledDown) {
  // Two bishops on one colour: a quarter; on both colours the full score.
  const int sameColour = evaluateFen("8/8/4k3/8/8/2B5/3B4/4K3 w - - 0 1");   // c3 dark, d2 dark
  const int bothColours = evaluateFen("8/8/4k3/8/8/3B4/3B4/4K3 w - - 0 1");  // d3 light, d2 dark
  EXPECT_GT(bothColours, 500);
  EXPECT_NEAR(sameColour * 4, bothColours, 60);
  // Rook against rook (no pawns): 1/16.
  EXPECT_LT(std::abs(evaluateFen("8/8/4k3/8/8/3r4/3R4/4K3 w - - 0 1")), 10);
  // Opposite-coloured bishops with an extra pawn are far more drawish than same-coloured ones
  // (scale 492 of 1024 with five pawns on the board).
  const int opposite = evaluateFen("4k3/pp6/4b3/8/8/2B5/PPP5/4K3 w - - 0 1");
  const int same = evaluateFen("4k3/pp6/3b4/8/8/2B5/PPP5/4K3 w - - 0 1");
  EXPECT_GT(same, 0);
  EXPECT_LT(opposite * 3, same * 2);
}

TEST(Evaluate, TempoAndSideToMove) {
  const int start = evaluateFen(InitialFen);
  EXPECT_GT(start, 0);
  EXPECT_LT(start, 20);
  // Without king attack terms (few pieces) and without a pawn race (pieces on both sides),
  // the two sides to move differ only by the tempo: e(white) + e(black) = 2 * 6.
  for (const char* fen : {"r3k3/pp3ppp/2n5/8/3P4/5B2/PP3PPP/2R3K1", "6k1/5pp1/3b4/8/2R5/8/5PP1/6K1",
                          "4r1k1/1p3ppp/8/8/1P6/6P1/5PBP/3R2K1"}) {
    const int white = evaluateFen(std::string(fen) + " w - - 0 1");
    const int black = evaluateFen(std::string(fen) + " b - - 0 1");
    EXPECT_EQ(white + black, 12) << fen;
  }
  // With all pieces about, the king-danger term may add a few points for the side to move.
  const int white = evaluateFen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 0 1");
  const int black = evaluateFen("r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 0 1");
  EXPECT_NEAR(white + black, 12, 12);
}

TEST(MaterialImbalance, ValuesOfSomeMixes) {
  // Everything equal: nothing.
  EXPECT_EQ(materialImbalance(counter(8, 2, 2, 2, 1), counter(8, 2, 2, 2, 1)), 0);
  // Bishop pair against bishop and knight (all else equal): bishops 24 - 12, knight -15, the
  // extra bishop with a rook pair and queen (weight 5) 39; material equal, so unscaled.
  EXPECT_EQ(materialImbalance(counter(8, 0, 2, 2, 1), counter(8, 1, 1, 2, 1)), 12 - 15 + 39);
  // The exchange: White rook against Black knight. Rooks -40 + 20, knights 30 - 45, minor
  // against rook (knights differ, weight 5) -21; White is ahead with 8 pawns and 32 units:
  // -56 * 975 / 1024 = -53, * (1024 - 96) / 1024 = -48.
  EXPECT_EQ(materialImbalance(counter(8, 2, 2, 2, 1), counter(8, 3, 2, 1, 1)), -48);
}

TEST(MaterialImbalance, IsAntisymmetric) {
  std::mt19937 rng(11);
  for (int i = 0; i < 20000; ++i) {
    const uint32_t w = counter(rng() % 9, rng() % 3, rng() % 3, rng() % 3, rng() % 2);
    const uint32_t b = counter(rng() % 9, rng() % 3, rng() % 3, rng() % 3, rng() % 2);
    ASSERT_EQ(materialImbalance(w, b), -materialImbalance(b, w)) << std::hex << w << " " << b;
  }
}

TEST(KingAndPieces, TermsPointTheRightWay) {
  // A castled king behind its pawns is safer than one in the open centre.
  Position& castled = positionFrom("r2q1rk1/ppp2ppp/8/8/8/8/PPP2PPP/R2Q1RK1 w - - 0 1");
  Position& exposed = positionFrom("r2q1rk1/ppp2ppp/8/8/8/8/PPP2PPP/R2QKR2 w - - 0 1");
  auto a = std::make_unique<Evaluator>(castled);
  auto b = std::make_unique<Evaluator>(exposed);
  a->probePawnHash();
  b->probePawnHash();
  EXPECT_GT(a->kingTerm(White), b->kingTerm(White));

  // A centralised knight beats one on the rim; a rook on an open file beats one behind pawns.
  Position& centre = positionFrom("4k3/pp4pp/8/4N3/8/8/PP4PP/4K3 w - - 0 1");
  Position& rim = positionFrom("4k3/pp4pp/8/8/8/8/PP4PP/N3K3 w - - 0 1");
  a->attach(centre);
  b->attach(rim);
  a->probePawnHash();
  b->probePawnHash();
  EXPECT_GT(a->pieceTerm(White), b->pieceTerm(White));
  Position& open = positionFrom("4k3/pp4pp/8/8/8/8/PP4PP/3RK3 w - - 0 1");
  Position& closed = positionFrom("4k3/pp4pp/8/8/8/8/PP4PP/R3K3 w - - 0 1");
  a->attach(open);
  b->attach(closed);
  a->probePawnHash();
  b->probePawnHash();
  EXPECT_GT(a->pieceTerm(White), b->pieceTerm(White));

  // The bishop that took on a7 and is shut in by b6 loses 100 beside the same bishop on b8.
  Position& trapped = positionFrom("4k3/B7/1pp5/8/8/8/8/4K3 w - - 0 1");
  Position& free = positionFrom("1B2k3/8/1pp5/8/8/8/8/4K3 w - - 0 1");
  a->attach(trapped);
  b->attach(free);
  a->probePawnHash();
  b->probePawnHash();
  EXPECT_LT(a->pieceTerm(White), b->pieceTerm(White) - 80);
}

TEST(EvalCache, NeverChangesAResult) {
  Position& holder = positionFrom(InitialFen);
  auto cached = std::make_unique<Evaluator>(holder);
  auto plain = std::make_unique<Evaluator>(holder);
  const std::vector<std::string> fens = randomPlayFens(20, 80, 3);
  // Two passes: the second finds most scores in the cache, and many slots were overwritten by
  // other positions in between.
  for (int pass = 0; pass < 2; ++pass) {
    for (const std::string& fen : fens) {
      Position& pos = positionFrom(fen);
      cached->attach(pos);
      plain->attach(pos);
      ASSERT_EQ(cached->evaluate(), plain->evaluateUncached()) << fen;
      ASSERT_EQ(cached->evaluate(), plain->evaluateUncached()) << fen;
      // A cache hit still leaves the pawn entry of this position current.
      EXPECT_EQ(cached->pawnEntry().check, uint32_t(pos.pawnKey >> 32));
    }
  }
  EXPECT_GT(cached->pawnHash().hits, 0u);
}

}  // namespace
