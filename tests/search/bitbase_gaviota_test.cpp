// The bitbase library over Debian's Gaviota tables against the stand-in, whose tables our own
// retrograde solver computes: two independent solvers must agree on every three-men position.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "search/bitbase_standin.h"

#ifdef MELVOK_EGBB_GAVIOTA_DIR

namespace {

using namespace standin;

ProbeFunction gaviota() {
  static ProbeFunction probe = [] {
    ::testing::internal::CaptureStdout();
    ProbeFunction loaded = openLibrary(gaviotaDirectory());
    ::testing::internal::GetCapturedStdout();
    return loaded;
  }();
  return probe;
}

class GaviotaTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_NE(library(), nullptr) << dlerror();
    ASSERT_NE(gaviota(), nullptr) << dlerror();
  }
};

// Every placement of the kings and one piece of either colour (or none), either side to
// move, legal or not: the same score, or both without information.
TEST_F(GaviotaTest, AgreesWithTheStandInOnEveryThreeMenPosition) {
  int compared = 0, answered = 0;
  std::string differences;
  for (int code : {0, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12})
    for (int side = 0; side < 2; ++side)
      for (int wk = 0; wk < 64; ++wk)
        for (int bk = 0; bk < 64; ++bk)
          for (int sq = 0; sq < (code == 0 ? 1 : 64); ++sq) {
            int ours = probe(side, wk, bk, code, sq);
            int theirs = gaviota()(side, wk, bk, code, code != 0 ? sq : 0, 0, 0, 0, 0);
            ++compared;
            answered += ours != NoInformation;
            if (ours != theirs && differences.size() < 2000)
              differences += fenOf(side, wk, bk, code, sq) + ": stand-in " + std::to_string(ours) +
                             ", Gaviota " + std::to_string(theirs) + "\n";
          }
  EXPECT_EQ(differences, "");
  EXPECT_EQ(compared, 2 * 64 * 64 * (1 + 10 * 64));
  EXPECT_EQ(answered, 3898392);  // the legal placements, as counted independently
}

// Every search thread probes without a lock of its own: answers given side by side must be
// the answers given one at a time.
TEST_F(GaviotaTest, ThreadsProbingTogetherGetTheSameAnswers) {
  constexpr int PerTable = 2 * 64 * 64 * 64;
  const int codes[] = {PawnCode, RookCode + 6};
  auto answer = [](int code, int index) {
    int side = index >> 18, wk = (index >> 12) & 63, bk = (index >> 6) & 63, sq = index & 63;
    return gaviota()(side, wk, bk, code, sq, 0, 0, 0, 0);
  };
  std::vector<int> alone;
  for (int code : codes)
    for (int index = 0; index < PerTable; ++index) alone.push_back(answer(code, index));
  // Two threads walk the tables in opposite directions, two more in the same one.
  std::atomic<int> differences{0};
  auto walk = [&](bool backwards) {
    for (int i = 0; i < int(alone.size()); ++i) {
      int at = backwards ? int(alone.size()) - 1 - i : i;
      if (answer(codes[at / PerTable], at % PerTable) != alone[at]) ++differences;
    }
  };
  std::vector<std::thread> threads;
  for (bool backwards : {false, true, false, true}) threads.emplace_back(walk, backwards);
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(differences.load(), 0);
}

TEST_F(GaviotaTest, LoadingAgainStartsOverOnTheSameTables) {
  const int e5 = 36, e6 = 44, e8 = 60;
  int before = gaviota()(0, e6, e8, PawnCode, e5, 0, 0, 0, 0);
  void* handle = dlopen((gaviotaDirectory() + "/egbbdll.so").c_str(), RTLD_NOW);
  ASSERT_NE(handle, nullptr) << dlerror();
  auto load =
      reinterpret_cast<void (*)(const char*, int32_t, int32_t)>(dlsym(handle, "load_egbb_5men"));
  ::testing::internal::CaptureStdout();
  load((gaviotaDirectory() + "/").c_str(), 32 << 20, 1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(),
            "EGBB: Gaviota tables (cp4) in /usr/share/gaviotatb/gtb4: 5 files, complete up to 3 "
            "men\n");
  EXPECT_EQ(gaviota()(0, e6, e8, PawnCode, e5, 0, 0, 0, 0), before);
  EXPECT_GT(before, 3000);
  dlclose(handle);
}

TEST_F(GaviotaTest, RefusesWhatTheTablesDoNotHold) {
  // Four and five men are beyond Debian's tables; bad piece codes, squares and sides.
  EXPECT_EQ(gaviota()(0, 0, 63, 6, 16, 6, 17, 0, 0), NoInformation);
  EXPECT_EQ(gaviota()(0, 0, 63, 6, 16, 6, 17, 12, 55), NoInformation);
  EXPECT_EQ(gaviota()(0, 0, 63, 7, 20, 0, 0, 0, 0), NoInformation);
  EXPECT_EQ(gaviota()(0, 0, 63, 13, 20, 0, 0, 0, 0), NoInformation);
  EXPECT_EQ(gaviota()(0, 0, 63, 2, 64, 0, 0, 0, 0), NoInformation);
  EXPECT_EQ(gaviota()(0, 0, -1, 2, 20, 0, 0, 0, 0), NoInformation);
  EXPECT_EQ(gaviota()(2, 0, 63, 2, 20, 0, 0, 0, 0), NoInformation);
  // The piece may come in any slot.
  EXPECT_EQ(gaviota()(1, 0, 63, 0, 0, 0, 0, 9, 20), probe(1, 0, 63, 9, 20));
}

}  // namespace

#else

TEST(GaviotaTest, NotBuilt) { GTEST_SKIP() << "built without the Gaviota probing library"; }

#endif
