// The bitbase library over Debian's Gaviota tables against the stand-in, whose tables our own
// retrograde solver computes: two independent solvers must agree on every three-men position.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "search/bitbase_standin.h"
#include "support/text.h"

#ifdef MELVOK_EGBB_GAVIOTA_DIR

namespace {

using namespace standin;

ProbeFunction gaviota() {
  static ProbeFunction probe = [] {
    ProbeFunction loaded = nullptr;
    captureStdout([&] { loaded = openLibrary(gaviotaDirectory()); });
    return loaded;
  }();
  return probe;
}

// Every placement of the kings and one piece of either colour (or none), either side to move,
// legal or not: the same score, or both without information.
TEST(GaviotaTest, AgreesWithTheStandInOnEveryThreeMenPosition) {
  ASSERT_NE(library(), nullptr) << dlerror();
  ASSERT_NE(gaviota(), nullptr) << dlerror();
  int compared = 0, answered = 0;
  std::string differences;
  for (int code : {0, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12})
    for (int index = 0; index < 2 * 64 * 64 * (code ? 64 : 1); ++index) {
      const int sq = code ? index & 63 : 0, rest = code ? index >> 6 : index;
      const int side = rest >> 12, wk = (rest >> 6) & 63, bk = rest & 63;
      const int ours = probe(side, wk, bk, code, sq),
                theirs = probe(gaviota(), side, wk, bk, code, sq);
      ++compared;
      answered += ours != NoInformation;
      if (ours != theirs && differences.size() < 2000)
        differences += fenOf(side, wk, bk, code, sq) + ": stand-in " + std::to_string(ours) +
                       ", Gaviota " + std::to_string(theirs) + "\n";
    }
  EXPECT_EQ(differences, "");
  EXPECT_EQ(compared, 2 * 64 * 64 * (1 + 10 * 64));
  EXPECT_EQ(answered, 3898392);  // the legal placements, as counted independently
  // Four and five men are beyond Debian's tables; the piece may come in any slot.
  EXPECT_EQ(gaviota()(0, 0, 63, 6, 16, 6, 17, 12, 55), NoInformation);
  EXPECT_EQ(gaviota()(1, 0, 63, 0, 0, 0, 0, 9, 20), probe(1, 0, 63, 9, 20));
}

// Debian's probing library is not safe for concurrent probes; ours serialises them. Answers given
// side by side must be the answers given one at a time.
TEST(GaviotaTest, ThreadsProbingTogetherGetTheSameAnswers) {
  ASSERT_NE(gaviota(), nullptr) << dlerror();
  constexpr int PerTable = 2 * 64 * 64 * 64;
  static constexpr int codes[] = {PawnCode, RookCode + 6};  // a white pawn, a black rook
  auto answer = [](int at) {
    const int index = at % PerTable;
    return gaviota()(index >> 18, (index >> 12) & 63, (index >> 6) & 63, codes[at / PerTable],
                     index & 63, 0, 0, 0, 0);
  };
  std::vector<int> alone;
  for (int at = 0; at < 2 * PerTable; ++at) alone.push_back(answer(at));
  std::atomic<int> differences{0};
  auto walk = [&](bool backwards) {  // two threads each way
    for (int i = 0; i < int(alone.size()); ++i) {
      const int at = backwards ? int(alone.size()) - 1 - i : i;
      if (answer(at) != alone[at]) ++differences;
    }
  };
  std::vector<std::thread> threads;
  for (bool backwards : {false, true, false, true}) threads.emplace_back(walk, backwards);
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(differences.load(), 0);
}

}  // namespace

#else

TEST(GaviotaTest, NotBuilt) { GTEST_SKIP() << "built without the Gaviota probing library"; }

#endif
