// Libraries that cannot serve, and how a probe turns a position of up to five men into the
// library's arguments, the interface of every bitbase library: the recorder library records the
// calls it receives. (Answers and the mop-up values show where they matter: the conversions of
// the bitbase search test.)
#include "search/bitbase.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/positions.h"
#include "support/text.h"

namespace {

const std::string TestDir = MELVOK_EGBB_TEST_DIR;
const std::string RecorderDir = TestDir + "/recorder";

// The recorder's controls, reached through a second handle on the same library.
struct Recorder {
  void* handle = dlopen((RecorderDir + "/egbbdll.so").c_str(), RTLD_NOW);
  ~Recorder() { dlclose(handle); }
  template <typename F>
  F get(const char* name) const {
    return reinterpret_cast<F>(dlsym(handle, name));
  }
  void configure(int men, int answer) const {
    get<void (*)(int32_t, int32_t)>("egbb_test_configure")(men, answer);
  }
  int probeCalls() const { return get<int32_t (*)()>("egbb_test_probe_calls")(); }
  std::vector<int> lastProbe() const {
    const int32_t* args = get<const int32_t* (*)()>("egbb_test_last_probe")();
    return std::vector<int>(args, args + 9);
  }
};

struct BitbaseTest : ::testing::Test {
  Recorder recorder;
  Bitbases egbb;
  void SetUp() override {
    ASSERT_NE(recorder.handle, nullptr) << dlerror();
    recorder.get<void (*)()>("egbb_test_reset")();
  }
  // The recorder set up to answer `answer` for up to `men` men; returns the start-up report.
  std::string load(int men, int answer, const char* cacheMb = nullptr) {
    recorder.configure(men, answer);
    return captureStdout([&] { EXPECT_TRUE(egbb.startUp(RecorderDir.c_str(), cacheMb)); });
  }
  // The score of a probe, or 12345 when the probe has no answer.
  int probe(const std::string& fen) {
    int score = 12345;
    return egbb.probe(*positionFrom(fen), score) ? score : 12345;
  }
};

// A library that is missing or lacks an entry point leaves the engine without bitbases.
TEST_F(BitbaseTest, LibrariesThatCannotServeAreNotUsed) {
  for (const std::string& dir :
       {std::string("/nonexistent"), TestDir + "/noprobe", TestDir + "/noload"}) {
    Bitbases failed;
    captureStdout([&] { EXPECT_FALSE(failed.startUp(dir.c_str(), "16")); });
    int score = 7;
    EXPECT_FALSE(failed.probe(*positionFrom("8/8/8/8/8/8/4P3/K6k w - - 0 1"), score)) << dir;
  }
}

TEST_F(BitbaseTest, ProbePassesPiecesAndSquaresInTheLibrarysNumbering) {
  load(5, 0);
  const struct {
    const char* fen;
    std::vector<int> args;
  } cases[] = {
      // White first, queens before pawns; then Black. e1 = 4, e8 = 60, d1 = 3, e2 = 12, a8 = 56.
      {"r3k3/8/8/8/8/8/4P3/3QK3 b - - 0 1", {1, 4, 60, 2, 3, 6, 12, 9, 56}},
      {"8/8/8/2b5/8/8/1n6/K5kq w - - 0 1", {0, 0, 6, 8, 7, 10, 34, 11, 9}},
      {"7k/7p/8/8/8/8/8/KB1N4 b - - 0 1", {1, 0, 63, 4, 1, 5, 3, 12, 55}},
      {"k7/8/8/8/8/8/8/7K w - - 0 1", {0, 7, 56, 0, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    probe(c.fen);
    EXPECT_EQ(recorder.lastProbe(), c.args) << c.fen;
  }
  // A captured rook (marked 0x80 in its list entry) is left out.
  auto pos = positionFrom("7k/8/8/8/8/8/1q6/KR6 w - - 0 1");
  pos->pieceSquare[WhiteBase + RookSlot] += 0x80;
  pos->at(0x01) = Empty;
  pos->material[White] -= tables.materialOf[RookSlot];
  int score;
  egbb.probe(*pos, score);
  EXPECT_EQ(recorder.lastProbe(), (std::vector<int>{0, 0, 63, 8, 9, 0, 0, 0, 0}));
  // Castling rights or four men besides the kings: not asked.
  const int calls = recorder.probeCalls();
  for (const char* fen : {"r3k3/8/8/8/8/8/8/4K2R w Kq - 0 1", "8/8/8/8/8/8/PPPP4/K6k w - - 0 1"})
    EXPECT_EQ(probe(fen), 12345) << fen;
  EXPECT_EQ(recorder.probeCalls(), calls);
}

}  // namespace
