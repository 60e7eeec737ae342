// Loading the bitbase library, its start-up report, and how a probe turns a position into the
// library's arguments and the library's answer into a score. The recorder library records
// the calls it receives and answers what a test tells it.
#include "search/bitbase.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "board/position.h"
#include "board/tables.h"

namespace {

const std::string StandInDir = MELVOK_EGBB_DIR;
const std::string TestDir = MELVOK_EGBB_TEST_DIR;
const std::string RecorderDir = TestDir + "/recorder";

// The recorder's controls, reached through a second handle on the same library.
struct Recorder {
  void* handle = dlopen((RecorderDir + "/egbbdll.so").c_str(), RTLD_NOW);
  template <typename F>
  F get(const char* name) const {
    return reinterpret_cast<F>(dlsym(handle, name));
  }
  void configure(int men, int answer) const {
    get<void (*)(int32_t, int32_t)>("egbb_test_configure")(men, answer);
  }
  void reset() const { get<void (*)()>("egbb_test_reset")(); }
  std::string lastPath() const { return get<const char* (*)()>("egbb_test_last_path")(); }
  int cacheBytes() const { return get<int32_t (*)()>("egbb_test_last_cache_bytes")(); }
  int loadOption() const { return get<int32_t (*)()>("egbb_test_last_load_option")(); }
  int loadCalls() const { return get<int32_t (*)()>("egbb_test_load_calls")(); }
  int probeCalls() const { return get<int32_t (*)()>("egbb_test_probe_calls")(); }
  std::vector<int> lastProbe() const {
    const int32_t* args = get<const int32_t* (*)()>("egbb_test_last_probe")();
    return std::vector<int>(args, args + 9);
  }
};

class BitbaseTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { initTables(); }
  void SetUp() override {
    ASSERT_NE(recorder.handle, nullptr) << dlerror();
    recorder.reset();
    recorder.configure(0, 0);
  }
  void TearDown() override { dlclose(recorder.handle); }

  // Runs `action` and returns what it printed.
  template <typename Action>
  static std::string printed(Action action) {
    ::testing::internal::CaptureStdout();
    action();
    return ::testing::internal::GetCapturedStdout();
  }

  // A recorder set up to answer `answer` for up to `men` men, initialised quietly.
  void loadRecorder(Bitbases& egbb, int men, int answer) {
    recorder.configure(men, answer);
    printed([&] {
      ASSERT_TRUE(egbb.loadLibrary(RecorderDir.c_str()));
      ASSERT_TRUE(egbb.initialise());
    });
  }

  static Position fromFen(const char* fen) {
    Position pos;
    EXPECT_TRUE(setFen(pos, fen)) << fen;
    return pos;
  }

  Recorder recorder;
};

TEST_F(BitbaseTest, MissingDirectoryOrLibraryLeavesBitbasesUnavailable) {
  for (const std::string& dir : {std::string("/nonexistent/egbb"), TestDir}) {
    Bitbases egbb;
    std::string out = printed([&] { EXPECT_FALSE(egbb.loadLibrary(dir.c_str())); });
    EXPECT_EQ(out, "EGBB: WARNING egbb dll not found: " + dir + "/egbbdll.so\n");
    EXPECT_FALSE(egbb.available());
    out = printed([&] { EXPECT_FALSE(egbb.initialise()); });
    EXPECT_EQ(out, "EGBB: not available\n");
    EXPECT_EQ(egbb.probeLimit(), -1);
    EXPECT_EQ(egbb.unconditionalLimit(), -1);
    Position pos = fromFen("8/8/8/8/8/8/4P3/K6k w - - 0 1");
    int score = 12345;
    EXPECT_FALSE(egbb.probe(pos, score));
    EXPECT_EQ(score, 12345);
  }
}

TEST_F(BitbaseTest, LibraryWithoutAnEntryPointIsRefused) {
  Bitbases noProbe;
  std::string out =
      printed([&] { EXPECT_FALSE(noProbe.loadLibrary((TestDir + "/noprobe").c_str())); });
  EXPECT_EQ(out, "EGBB: 5men probe not supported\n");
  EXPECT_FALSE(noProbe.available());
  EXPECT_EQ(printed([&] { EXPECT_FALSE(noProbe.initialise()); }), "EGBB: not available\n");

  Bitbases noLoad;
  out = printed([&] { EXPECT_FALSE(noLoad.loadLibrary((TestDir + "/noload").c_str())); });
  EXPECT_EQ(out, "EGBB: 5men load not supported\n");
  EXPECT_FALSE(noLoad.available());
  EXPECT_EQ(noLoad.loadFn, nullptr);
}

TEST_F(BitbaseTest, DirectoryGetsExactlyOneTrailingSeparator) {
  for (const std::string& dir : {RecorderDir, RecorderDir + "/"}) {
    Bitbases egbb;
    printed([&] { EXPECT_TRUE(egbb.loadLibrary(dir.c_str())); });
    EXPECT_EQ(std::string(egbb.egbbPath.c_str()), RecorderDir + "/");
    EXPECT_TRUE(egbb.available());
    EXPECT_EQ(egbb.egbbMaxMen, 5);
    printed([&] { egbb.initialise(); });
    // The library is told its directory with the separator.
    EXPECT_EQ(recorder.lastPath(), RecorderDir + "/");
    EXPECT_EQ(recorder.loadOption(), 1);
  }
  // A Windows-style separator is kept as it is, not doubled either.
  Bitbases egbb;
  std::string out = printed([&] { EXPECT_FALSE(egbb.loadLibrary("/nonexistent\\")); });
  EXPECT_EQ(out, "EGBB: WARNING egbb dll not found: /nonexistent\\egbbdll.so\n");
  // Without a directory the library is looked for in "egbb".
  printed([&] { egbb.loadLibrary(""); });
  EXPECT_EQ(std::string(egbb.egbbPath.c_str()), "egbb/");
}

TEST_F(BitbaseTest, CacheSizeIsAtLeastSixteenMegabytes) {
  struct Case {
    const char* setting;  // null: key missing
    int expectedMb;
  };
  const Case cases[] = {{nullptr, 16},
                        {"", 16},
                        {"0", 16},
                        {"15", 16},
                        {"abc", 16},
                        {"-5", 16},
                        {"16", 16},
                        {"64", 64},
                        {"2047", 2047},
                        // Beyond 2 GB the byte count no longer fits the library's 32 bits.
                        {"100000", 2047}};
  for (const Case& c : cases) {
    Bitbases egbb;
    recorder.reset();
    printed([&] { EXPECT_TRUE(egbb.startUp(RecorderDir.c_str(), c.setting)); });
    EXPECT_EQ(recorder.loadCalls(), 1) << (c.setting ? c.setting : "missing");
    EXPECT_EQ(recorder.cacheBytes(), c.expectedMb * (1 << 20))
        << (c.setting ? c.setting : "missing");
    EXPECT_EQ(egbb.egbbCacheMb, c.expectedMb);
  }
}

TEST_F(BitbaseTest, StartUpWithoutDirectoryDoesNothing) {
  Bitbases egbb;
  EXPECT_EQ(printed([&] { EXPECT_FALSE(egbb.startUp("", "32")); }), "");
  EXPECT_EQ(printed([&] { EXPECT_FALSE(egbb.startUp(nullptr, nullptr)); }), "");
  EXPECT_EQ(recorder.loadCalls(), 0);
}

TEST_F(BitbaseTest, InitialisationIsIdempotent) {
  Bitbases egbb;
  loadRecorder(egbb, 3, 0);
  EXPECT_EQ(recorder.loadCalls(), 1);
  EXPECT_EQ(printed([&] { EXPECT_TRUE(egbb.initialise()); }), "");
  EXPECT_EQ(recorder.loadCalls(), 1);
}

TEST_F(BitbaseTest, MenCountComesFromTheThreeTestProbes) {
  struct Case {
    int answeredMen;
    const char* report;
    int maxMen;
  };
  const Case cases[] = {
      {5, "egbb.3men=1\negbb.4men=1\negbb.5men=1\nEGBB: loaded, maxmen=5, ram=4\n", 5},
      {4, "egbb.3men=1\negbb.4men=1\negbb.5men=0\nEGBB: loaded, maxmen=4, ram=4\n", 4},
      {3, "egbb.3men=1\negbb.4men=0\negbb.5men=0\nEGBB: loaded, maxmen=3, ram=4\n", 3},
      {2, "egbb.3men=0\negbb.4men=0\negbb.5men=0\nEGBB: loaded, maxmen=0, ram=4\n", 0},
  };
  for (const Case& c : cases) {
    Bitbases egbb;
    recorder.configure(c.answeredMen, 0);
    printed([&] { egbb.loadLibrary(RecorderDir.c_str()); });
    EXPECT_EQ(printed([&] { EXPECT_TRUE(egbb.initialise()); }), c.report);
    EXPECT_EQ(egbb.egbbMaxMen, c.maxMen);
    EXPECT_EQ(egbb.egbbRam, 4);
    EXPECT_EQ(egbb.probeLimit(), c.maxMen - 2);
    EXPECT_EQ(egbb.unconditionalLimit(), 2);
    // The five-men test probe: white king a1, black king h8, pawns a3 b3 and black h7.
    EXPECT_EQ(recorder.lastProbe(), (std::vector<int>{0, 0, 63, 6, 16, 6, 17, 12, 55}));
  }
}

TEST_F(BitbaseTest, LibraryAnsweringNothingIsNeverProbed) {
  Bitbases egbb;
  loadRecorder(egbb, 2, 0);
  int calls = recorder.probeCalls();
  int score = 0;
  // Even bare kings: no count of men is at most -2.
  EXPECT_FALSE(egbb.probe(fromFen("8/8/8/8/8/8/8/K6k w - - 0 1"), score));
  EXPECT_FALSE(egbb.probe(fromFen("8/8/8/8/8/8/P7/K6k w - - 0 1"), score));
  EXPECT_EQ(recorder.probeCalls(), calls);
}

TEST_F(BitbaseTest, ProbePassesPiecesAndSquaresInLibraryNumbering) {
  Bitbases egbb;
  loadRecorder(egbb, 5, 0);
  struct Case {
    const char* fen;
    std::vector<int> args;
  };
  const Case cases[] = {
      // White first, queens before pawns; then Black. e1 = 4, e8 = 60, d1 = 3, e2 = 12, a8 = 56.
      {"r3k3/8/8/8/8/8/4P3/3QK3 b - - 0 1", {1, 4, 60, 2, 3, 6, 12, 9, 56}},
      // Every black kind: queen h1 = 7, bishop c5 = 34, knight b2 = 9.
      {"8/8/8/2b5/8/8/1n6/K5kq w - - 0 1", {0, 0, 6, 8, 7, 10, 34, 11, 9}},
      {"7k/8/8/8/8/8/8/KR6 w - - 0 1", {0, 0, 63, 3, 1, 0, 0, 0, 0}},
      // Rook before bishop before knight before pawn; black pawn h7 = 55.
      {"7k/7p/8/8/8/8/8/KB1N4 b - - 0 1", {1, 0, 63, 4, 1, 5, 3, 12, 55}},
      {"k7/8/8/8/8/8/8/7K w - - 0 1", {0, 7, 56, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    int score;
    egbb.probe(fromFen(c.fen), score);
    EXPECT_EQ(recorder.lastProbe(), c.args) << c.fen;
  }
  // Four men besides the kings are beyond any library: not asked.
  int calls = recorder.probeCalls();
  int score;
  EXPECT_FALSE(egbb.probe(fromFen("8/8/8/8/8/8/PPPP4/K6k w - - 0 1"), score));
  EXPECT_EQ(recorder.probeCalls(), calls);
}

TEST_F(BitbaseTest, PositionsWithCastlingRightsAreNotProbed) {
  Bitbases egbb;
  loadRecorder(egbb, 5, 0);
  int calls = recorder.probeCalls();
  int score;
  EXPECT_FALSE(egbb.probe(fromFen("r3k3/8/8/8/8/8/8/4K2R w Kq - 0 1"), score));
  EXPECT_FALSE(egbb.probe(fromFen("4k3/8/8/8/8/8/8/R3K3 b Q - 0 1"), score));
  EXPECT_EQ(recorder.probeCalls(), calls);
  EXPECT_TRUE(egbb.probe(fromFen("r3k3/8/8/8/8/8/8/4K2R w - - 0 1"), score));
  EXPECT_EQ(recorder.probeCalls(), calls + 1);
}

TEST_F(BitbaseTest, ProbeSkipsCapturedPieces) {
  Bitbases egbb;
  loadRecorder(egbb, 5, 0);
  Position pos = fromFen("7k/8/8/8/8/8/1q6/KR6 w - - 0 1");
  // A rook taken off the list the way a capture leaves it: its entry gets the 0x80 mark.
  pos.pieceSquare[WhiteBase + RookSlot] += 0x80;
  pos.at(0x01) = Empty;
  pos.material[White] -= tables.materialOf[RookSlot];
  int score;
  egbb.probe(pos, score);
  EXPECT_EQ(recorder.lastProbe(), (std::vector<int>{0, 0, 63, 8, 9, 0, 0, 0, 0}));
}

TEST_F(BitbaseTest, AnswersBecomeScoresForTheSideToMove) {
  Bitbases egbb;
  int score = 0;
  // No information.
  loadRecorder(egbb, 5, 0);
  recorder.configure(5, EgbbNoInformation);
  Position pawnEnding = fromFen("8/8/8/8/8/8/4P3/K6k w - - 0 1");
  EXPECT_FALSE(egbb.probe(pawnEnding, score));

  // A draw.
  recorder.configure(5, 0);
  score = 777;
  EXPECT_TRUE(egbb.probe(pawnEnding, score));
  EXPECT_EQ(score, 0);

  // With a pawn on the board the library's value stands, win or loss.
  recorder.configure(5, 4321);
  EXPECT_TRUE(egbb.probe(pawnEnding, score));
  EXPECT_EQ(score, 4321);
  recorder.configure(5, -4321);
  EXPECT_TRUE(egbb.probe(pawnEnding, score));
  EXPECT_EQ(score, -4321);

  // Pawnless: the mop-up value of the winner replaces the library's number.
  Position queenWhiteToMove = fromFen("k7/8/8/8/3K4/8/8/3Q4 w - - 0 1");
  recorder.configure(5, 4999);
  EXPECT_TRUE(egbb.probe(queenWhiteToMove, score));
  EXPECT_EQ(score, mopUpValue(queenWhiteToMove, White));
  Position queenBlackToMove = fromFen("k7/8/8/8/3K4/8/8/3Q4 b - - 0 1");
  recorder.configure(5, -4998);
  EXPECT_TRUE(egbb.probe(queenBlackToMove, score));
  EXPECT_EQ(score, -mopUpValue(queenBlackToMove, White));
  // Black strong, White to move and losing.
  Position blackQueen = fromFen("8/8/8/3k4/8/8/8/K6q w - - 0 1");
  recorder.configure(5, -4990);
  EXPECT_TRUE(egbb.probe(blackQueen, score));
  EXPECT_EQ(score, -mopUpValue(blackQueen, Black));
  EXPECT_LT(score, -3000);
}

TEST(MopUp, ValuesFollowTheTables) {
  initTables();
  Position pos;
  // Queen: 5000 + 1000, winning king d4 +3, distance to the approach square b7 is 3, lone
  // king in the corner a8: -2 x -9.
  ASSERT_TRUE(setFen(pos, "k7/8/8/8/3K4/8/8/3Q4 w - - 0 1"));
  EXPECT_EQ(mopUpValue(pos, White), 6018);
  // Lone king in the centre e5, winning king c3 (-1) next to the approach square d4; -2 x 3.
  ASSERT_TRUE(setFen(pos, "8/8/8/4k3/8/2K5/8/3Q4 w - - 0 1"));
  EXPECT_EQ(mopUpValue(pos, White), 5992);
  // Queen against rook: 5000 + 1000 - 500 - 100 + 3 - 3, the rook 7 from its king: +3, +18.
  ASSERT_TRUE(setFen(pos, "k7/8/8/8/3K4/8/8/3Q3r w - - 0 1"));
  EXPECT_EQ(mopUpValue(pos, White), 5421);
  // Knights want to be near the lone king: a knight on e4 is 4 from a1 (-2).
  ASSERT_TRUE(setFen(pos, "8/8/8/8/3KN3/8/8/k3N3 b - - 0 1"));
  // 5000 + 600, d4 +3, approach b2 is 2 away, knights e4 -2 and e1 -2, a1 corner +18.
  EXPECT_EQ(mopUpValue(pos, White), 5615);
  // Colours swapped give the same value for Black.
  ASSERT_TRUE(setFen(pos, "3q4/8/8/3k4/8/8/8/K7 b - - 0 1"));
  EXPECT_EQ(mopUpValue(pos, Black), 6018);
  // Any pawn switches it off.
  ASSERT_TRUE(setFen(pos, "k7/8/8/8/3K4/8/6P1/3Q4 w - - 0 1"));
  EXPECT_EQ(mopUpValue(pos, White), 0);
  ASSERT_TRUE(setFen(pos, "k7/p7/8/8/3K4/8/8/3Q4 w - - 0 1"));
  EXPECT_EQ(mopUpValue(pos, White), 0);
}

TEST(MopUp, LoneKingIsDrivenToTheEdge) {
  initTables();
  // White king e1 and rook a1 fixed; the value rises as the lone king nears the edge.
  auto value = [](const char* blackKing) {
    char board[8][9];
    for (auto& row : board) std::snprintf(row, sizeof row, "........");
    board[0][0] = 'R';
    board[0][4] = 'K';
    board[blackKing[1] - '1'][blackKing[0] - 'a'] = 'k';
    std::string fen;
    for (int rank = 7; rank >= 0; --rank) {
      for (int file = 0; file < 8; ++file)
        fen += board[rank][file] == '.' ? '1' : board[rank][file];
      if (rank > 0) fen += '/';
    }
    Position pos;
    EXPECT_TRUE(setFen(pos, (fen + " b - - 0 1").c_str())) << fen;
    return mopUpValue(pos, White);
  };
  EXPECT_GT(value("d8"), value("d7"));
  EXPECT_GT(value("d7"), value("d6"));
  EXPECT_GT(value("d6"), value("d5"));
  EXPECT_GT(value("h5"), value("g5"));
  EXPECT_GT(value("g5"), value("f5"));
  EXPECT_GT(value("a8"), value("b7"));
  EXPECT_GT(value("h8"), value("e5"));
}

TEST(MopUp, BishopAndKnightDriveToTheBishopsCorner) {
  initTables();
  Position pos;
  // Winning king d4 and knight e4 are as far (in the value's terms) from a1 as from h1.
  auto value = [&](const char* fen) {
    EXPECT_TRUE(setFen(pos, fen)) << fen;
    return mopUpValue(pos, White);
  };
  // Dark-squared bishop on c1: a1 is the mating corner, h1 is 7 steps from one.
  int darkA1 = value("8/8/8/8/3KN3/8/8/k1B5 b - - 0 1");
  int darkH1 = value("8/8/8/8/3KN3/8/8/2B4k b - - 0 1");
  EXPECT_EQ(darkA1 - darkH1, 56);
  // Light-squared bishop on d1: the other way round.
  int lightA1 = value("8/8/8/8/3KN3/8/8/k2B4 b - - 0 1");
  int lightH1 = value("8/8/8/8/3KN3/8/8/3B3k b - - 0 1");
  EXPECT_EQ(lightH1 - lightA1, 56);
  // a8 and h8 likewise: h8 is dark.
  EXPECT_GT(value("7k/8/8/8/3KN3/8/8/2B5 b - - 0 1"), value("k7/8/8/8/3KN3/8/8/2B5 b - - 0 1"));
  EXPECT_GT(value("k7/8/8/8/3KN3/8/8/3B4 b - - 0 1"), value("7k/8/8/8/3KN3/8/8/3B4 b - - 0 1"));
}

TEST(Bitbases, ProgramInstanceStartsUnavailable) {
  EXPECT_FALSE(bitbases.available());
  EXPECT_EQ(bitbases.probeLimit(), -1);
  EXPECT_EQ(bitbases.unconditionalLimit(), -1);
}

}  // namespace
