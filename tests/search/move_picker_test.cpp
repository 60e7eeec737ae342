// The move picker, against the legal move generator as oracle over positions of random play:
// whatever the table move, the killers, the mate killer and the threat hold, every legal move is
// handed out exactly once, the stages come in their order (the losing captures after the
// quiets), the table move comes first and never again, killers come only when legal here, and a
// node that shares its moves half-way hands out exactly what it would have searched alone.
// (Whether the order is a good one is a matter of strength, measured in games.)
#include "search/move_picker.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>

#include "board/makemove.h"
#include "board/movegen.h"
#include "search/eval_link.h"
#include "search/search_controller.h"
#include "support/positions.h"

namespace {

// The search these tests drive: a controller of their own, with a small table.
SearchController& controller() {
  static SearchController search(16);
  return search;
}

using Handed = std::vector<std::pair<Move, Stage>>;

Handed drain(MovePicker& picker) {
  Handed moves;
  while (const Move m = picker.next()) moves.emplace_back(m, picker.stage());
  EXPECT_EQ(picker.next(), 0u) << "a picker that ran dry must stay dry";
  return moves;
}

Move plain(Move m) { return m & MoveCompareMask; }

// Whether the search would play m here: the pin test, then makeMove (taken back at once).
bool playable(Position& pos, Move m) {
  if (isPinnedMove(pos, pos.kingSquare(pos.sideToMove), moveFrom(m), moveTo(m))) return false;
  const UndoInfo undo = saveUndo(pos);
  const Move made = makeMove(pos, m & ~MoveCheckFlags);
  if (made) unmakeMove(pos, m & ~MoveCheckFlags, undo);
  return made != 0;
}

// The legal moves, flags aside.
std::set<Move> legalMoves(Position& pos) {
  Move list[MaxMoves];
  const int count = generateLegalMoves(pos, list);
  std::set<Move> legal;
  for (int i = 0; i < count; i++) legal.insert(plain(list[i]));
  return legal;
}

// The generator's moves, flags aside: pseudo-legal, pins not tested.
std::set<Move> generatedMoves(Position& pos) {
  Move list[MaxMoves];
  const Move* end = generateMoves(pos, list);
  std::set<Move> moves;
  for (const Move* m = list; m < end; m++) moves.insert(plain(*m));
  return moves;
}

bool isCaptureOrPromotion(Move m) { return moveCaptured(m) || movePromotion(m); }

// Every legal move exactly once among the moves handed out, nothing else playable.
void expectEachLegalMoveOnce(Position& pos, const Handed& handed, const std::set<Move>& legal,
                             const std::string& what) {
  std::map<Move, int> times;
  for (auto [m, stage] : handed)
    if (playable(pos, m)) times[plain(m)]++;
  for (auto [m, n] : times) {
    EXPECT_TRUE(legal.count(m)) << what << std::hex << " hands out the illegal " << m;
    EXPECT_EQ(n, 1) << what << std::hex << " hands out " << m << " " << n << " times";
  }
  for (Move m : legal) EXPECT_TRUE(times.count(m)) << what << std::hex << " never hands out " << m;
}

// Positions of random games (the start position and Chess960 starts), with the thread's
// position set to each in turn.
template <class Visit>
void forRandomPositions(SearchThread& t, unsigned seed, int games, Visit visit) {
  std::mt19937 rng(seed);
  for (int game = 0; game < games; game++) {
    ASSERT_TRUE(setFen(t.pos, game % 2 ? InitialFen : chess960Fen(game * 23 % 960).c_str()));
    t.reset();
    while (!playRandomMoves(t.pos, 1, rng, true).empty() && t.pos.ply < 120) visit(rng);
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(MovePicker, HandsOutEveryLegalMoveOnceWhateverTheTableMoveAndKillers) {
  initTables();
  SearchThread& t = controller().master();
  auto picker = std::make_unique<MovePicker>();
  std::vector<Move> foreign;  // quiet moves of earlier positions: killers from elsewhere
  int positions = 0, tableMoves = 0, mateKillers = 0, killersOffered = 0, losing = 0;
  forRandomPositions(t, 5, 50, [&](std::mt19937& rng) {
    Position& pos = t.pos;
    if (pos.inCheck()) return;  // in check the search asks for the evasions
    const std::set<Move> legal = legalMoves(pos);
    if (legal.empty()) return;  // stalemate
    // What may be offered from elsewhere: a move the generator would make here (castling through
    // an attacked square included, which makeMove refuses).
    const std::set<Move> moves = generatedMoves(pos);
    const std::vector<Move> legalList(legal.begin(), legal.end());
    for (Move m : legal)
      if (!isCaptureOrPromotion(m)) foreign.push_back(m);
    const int ply = int(pos.ply % 8);
    // A history with some experience, so that the quiet moves have an order to keep.
    for (int i = 0; i < 4; i++) {
      const Move m = legalList[rng() % legalList.size()];
      if (!isCaptureOrPromotion(m)) t.history.reward(pos, m, 1 + int(rng() % 8), nullptr, 0);
    }
    const int recaptureSquare = pos.ply ? moveTo(pos.moveHistory[pos.ply - 1]) : -1;
    positions++;
    for (int combo = 0; combo < 12; combo++) {
      // The table move: none or a legal move; the mate killer: none, one from elsewhere, a
      // legal move or the table move, and not always asked for; two different killers from
      // anywhere; a threat or none.
      const Move table = combo % 2 ? legalList[rng() % legalList.size()] : 0;
      const int mateKind = combo / 2 % 3;
      t.mateKiller[ply] = mateKind == 0   ? 0
                          : mateKind == 1 ? foreign[rng() % foreign.size()]
                          : rng() % 3     ? legalList[rng() % legalList.size()]
                                          : table;
      t.killers[ply][0] = foreign[rng() % foreign.size()];
      do t.killers[ply][1] = rng() % 4 ? foreign[rng() % foreign.size()] : table;
      while (t.killers[ply][1] == t.killers[ply][0]);
      const Move threat = combo >= 6 ? foreign[rng() % foreign.size()] : 0;
      const bool withMateKiller = rng() % 4 != 0;
      if (table) {
        ASSERT_TRUE(isMoveLegal(pos, table));
      }

      picker->startMain(t, ply, table, withMateKiller, threat);
      const Handed handed = drain(*picker);
      const std::string what = fenOf(pos) + " combo " + std::to_string(combo);

      // The stages in their order; the table move first and alone in its stage; the mate
      // killer at most once in its stage, a legal move that is not the table move.
      Handed rest;
      for (size_t i = 0; i < handed.size(); i++) {
        const auto [m, stage] = handed[i];
        if (i) {
          ASSERT_LE(handed[i - 1].second, stage) << what << " stages out of order";
        }
        if (stage == Stage::TableMove) {
          ASSERT_TRUE(table && i == 0 && m == table) << what;
          tableMoves++;
        } else if (stage == Stage::MateKiller) {
          ASSERT_TRUE(withMateKiller && m == t.mateKiller[ply] && plain(m) != table) << what;
          ASSERT_TRUE(moves.count(plain(m))) << what << std::hex << " offers the mate killer " << m;
          const int taken = tables.unitsOfSlot[slotOf(moveCaptured(m))];
          ASSERT_TRUE(exchange(pos, m) >= 0 ||
                      taken > tables.unitsOfSlot[slotOf(pos.at(moveFrom(m)))])
              << what << " offers a mate killer that loses material";
          mateKillers++;
          continue;  // a probe: the move comes again in its own stage
        } else {
          ASSERT_NE(plain(m), table) << what << " hands out the table move twice";
        }
        if (stage == Stage::Killer1 || stage == Stage::Killer2) {
          ASSERT_EQ(m, t.killers[ply][stage == Stage::Killer1 ? 0 : 1]) << what;
          ASSERT_TRUE(moves.count(plain(m))) << what << std::hex << " offers the killer " << m;
          killersOffered++;
        }
        if (stage == Stage::GoodCaptures || stage == Stage::BadCaptures) {
          ASSERT_TRUE(isCaptureOrPromotion(m)) << what;
          const bool recapture = moveTo(m) == recaptureSquare;
          if (stage == Stage::BadCaptures) {
            ASSERT_TRUE(exchange(pos, m) < 0 && !recapture) << what << " a capture put aside";
            losing++;
          } else {
            ASSERT_TRUE(exchange(pos, m) >= 0 || recapture) << what << " a losing capture";
          }
        }
        if (stage == Stage::Quiets || stage == Stage::KingQuiets) {
          ASSERT_FALSE(isCaptureOrPromotion(m)) << what;
          if (stage == Stage::KingQuiets) {
            ASSERT_EQ(moveFrom(m), pos.kingSquare(pos.sideToMove));
          }
        }
        rest.push_back(handed[i]);
      }
      expectEachLegalMoveOnce(pos, rest, legal, what);
      // Without a threat the quiet moves come by their history, best first.
      for (size_t i = 1; !threat && i < rest.size(); i++)
        if (rest[i].second == Stage::Quiets && rest[i - 1].second == Stage::Quiets) {
          ASSERT_GE(t.history.score(pos, rest[i - 1].first), t.history.score(pos, rest[i].first))
              << what;
        }
      if (::testing::Test::HasFailure()) return;
    }
  });
  // The cases above must all have come up, many times.
  EXPECT_GT(positions, 1500);
  EXPECT_GT(tableMoves, 5000);
  EXPECT_GT(mateKillers, 1000);
  EXPECT_GT(killersOffered, 1000);
  EXPECT_GT(losing, 1000);
}

// A node that shares its moves after some of them goes on exactly as alone: the move in hand,
// then the rest in the same order and stages; a closed picker hands out nothing more.
TEST(MovePicker, SharingHandsOutTheRestAsTheNodeWould) {
  initTables();
  SearchThread& t = controller().master();
  auto alone = std::make_unique<MovePicker>();
  auto shared = std::make_unique<MovePicker>();
  int shares = 0;
  forRandomPositions(t, 9, 20, [&](std::mt19937& rng) {
    Position& pos = t.pos;
    const std::set<Move> legal = legalMoves(pos);
    if (legal.empty()) return;
    const std::vector<Move> legalList(legal.begin(), legal.end());
    const int ply = int(pos.ply % 8);
    t.killers[ply][0] = legalList[rng() % legalList.size()];
    t.killers[ply][1] = legalList[rng() % legalList.size()];
    if (t.killers[ply][1] == t.killers[ply][0]) t.killers[ply][1] = 0;
    auto start = [&](MovePicker& p) {
      if (pos.inCheck())
        p.startEvasions(t, ply, pos.lastMove, 0);
      else
        p.startMain(t, ply, 0, false, 0);
    };
    start(*alone);
    const Handed expected = drain(*alone);
    if (expected.empty()) return;
    const size_t at = rng() % expected.size();  // shared with this move in hand
    start(*shared);
    Handed got;
    for (size_t i = 0; i <= at; i++) {
      const Move m = shared->next();
      got.emplace_back(m, shared->stage());
    }
    shared->putBack();
    got.pop_back();
    shared->share();
    for (const auto& m : drain(*shared)) got.push_back(m);
    ASSERT_EQ(got, expected) << fenOf(pos) << " shared at " << at;
    shared->close();
    ASSERT_EQ(shared->next(), 0u);
    shares++;
  });
  EXPECT_GT(shares, 1000);
}

// In check: the evasions alone, each legal reply once, the table move first; keeping only the
// captures leaves exactly the legal captures and promotions (among them a promotion that blocks
// the check, in the last of the hand-picked positions after the random ones).
TEST(MovePicker, EvasionsAreEveryLegalReplyTableMoveFirst) {
  initTables();
  SearchThread& t = controller().master();
  auto picker = std::make_unique<MovePicker>();
  int positions = 0, narrowed = 0;
  auto expectEvasions = [&](std::mt19937& rng) {
    Position& pos = t.pos;
    if (!pos.inCheck()) return;
    const std::set<Move> legal = legalMoves(pos);
    if (legal.empty()) return;
    const Move table = *std::next(legal.begin(), long(rng() % legal.size()));
    picker->startEvasions(t, 0, pos.previousMove(), table);
    const Handed handed = drain(*picker);
    ASSERT_EQ(plain(handed.at(0).first), table) << fenOf(pos);
    for (auto [m, stage] : handed) ASSERT_EQ(stage, Stage::Evasions);
    expectEachLegalMoveOnce(pos, handed, legal, fenOf(pos));

    picker->startEvasions(t, 0, pos.previousMove(), 0);
    const bool dropped = picker->keepCapturesOnly();
    const Handed captures = drain(*picker);
    std::set<Move> legalCaptures;
    for (Move m : legal)
      if (isCaptureOrPromotion(m)) legalCaptures.insert(m);
    if (legalCaptures.size() < legal.size()) {
      ASSERT_TRUE(dropped) << fenOf(pos);
    }
    for (auto [m, stage] : captures) ASSERT_TRUE(isCaptureOrPromotion(m)) << fenOf(pos);
    expectEachLegalMoveOnce(pos, captures, legalCaptures, fenOf(pos) + " captures only");
    positions++;
    narrowed += dropped;
  };
  forRandomPositions(t, 13, 300, expectEvasions);
  std::mt19937 rng(1);
  for (const char* fen : {"4k3/8/8/8/8/8/3q4/4K3 w - - 0 1", "r6K/2P5/8/8/8/8/8/4k3 w - - 0 1"}) {
    ASSERT_TRUE(setFen(t.pos, fen));
    const int before = positions;
    expectEvasions(rng);
    ASSERT_EQ(positions, before + 1) << fen << " is no position in check";
  }
  EXPECT_GT(positions, 500);
  EXPECT_GT(narrowed, 300);
}

// Quiescence: the captures that hold material (all of them: no threshold here), then with checks
// the quiet moves that check (or x-ray the king) and lose nothing. No move comes twice, not even
// one that checks both directly and by discovery: that one comes with the discovered checks.
TEST(MovePicker, QuiescenceHandsOutSafeCapturesThenChecks) {
  initTables();
  SearchThread& t = controller().master();
  auto picker = std::make_unique<MovePicker>();
  int positions = 0, checks = 0, doubleChecks = 0;
  forRandomPositions(t, 17, 60, [&](std::mt19937&) {
    Position& pos = t.pos;
    if (pos.inCheck()) return;
    const std::set<Move> legal = legalMoves(pos);
    for (bool withChecks : {false, true}) {
      ASSERT_EQ(picker->startQuiescence(t, 0, 0, 0, withChecks), 0);
      const Handed handed = drain(*picker);
      std::map<Move, Stage> seen;
      for (auto [m, stage] : handed) {
        const std::string what = fenOf(pos) + " " + std::to_string(m);
        if (stage == Stage::QuiescenceCaptures) {
          ASSERT_TRUE(isCaptureOrPromotion(m)) << what;
          ASSERT_TRUE(seen.emplace(plain(m), stage).second) << what << " twice";
          continue;
        }
        ASSERT_TRUE(withChecks) << what << " checks without being asked";
        ASSERT_TRUE(stage == Stage::DiscoveredChecks || stage == Stage::QuietChecks) << what;
        ASSERT_FALSE(moveCaptured(m)) << what;
        if (stage == Stage::QuietChecks) {
          ASSERT_GE(exchange(pos, m), 0) << what;
        }
        ASSERT_TRUE(seen.emplace(plain(m), stage).second) << what << " twice";
        if (!playable(pos, m)) continue;
        const UndoInfo undo = saveUndo(pos);
        const Move made = makeMove(pos, m & ~MoveCheckFlags);
        unmakeMove(pos, m & ~MoveCheckFlags, undo);
        ASSERT_TRUE(givesCheck(made) || (m & MoveBatteryCheck)) << what;
        if ((made & MoveCheckFlags) == MoveCheckFlags) {
          ASSERT_EQ(stage, Stage::DiscoveredChecks) << what << " double check";
          doubleChecks++;
        }
        checks++;
      }
      for (Move m : legal)
        if (moveCaptured(m) && exchange(pos, m) >= 0) {
          ASSERT_TRUE(seen.count(m)) << fenOf(pos) << std::hex << " misses the capture " << m;
        }
    }
    positions++;
  });
  EXPECT_GT(positions, 2000);
  EXPECT_GT(checks, 1000);
  EXPECT_GT(doubleChecks, 0);
}

}  // namespace
