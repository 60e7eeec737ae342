// The Syzygy tables (tests/data/syzygy: every 3-men table and KQvKR, KRvKR, KBvKB, KBPvK, KPvKP):
// the position as the tables see it, loading and its report, the answers against stockfish's
// and against our own retrograde 3-men solver (and the Gaviota tables where installed), the
// root cut to the moves that keep the result, and the search's use of the answers.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <regex>

#include "board/makemove.h"
#include "board/movegen.h"
#include "board/notation.h"
#include "search/bitbase.h"
#include "search/bitbase_standin.h"
#include "search/search_controller.h"
#include "search/syzygy_root.h"
#include "support/paths.h"
#include "support/process.h"
#include "support/search_recorder.h"
#include "support/text.h"

namespace {

// The search these tests drive: a controller of their own, with a small table.
SearchController& controller() {
  static SearchController search(16);
  return search;
}

const std::string TableDir = dataPath("syzygy");
const std::vector<std::string> TestTables = {"KBvK",  "KNvK",  "KPvK",  "KQvK",  "KRvK",
                                             "KBPvK", "KBvKB", "KPvKP", "KQvKR", "KRvKR"};

std::string moveText(Move m) {
  char text[MoveTextSize];
  return coordinateMove(text, m);
}

Move moveFrom(Position& pos, const std::string& text) {
  const Move m = parseMove(pos, text.c_str());
  EXPECT_NE(m, 0u) << text;
  return m;
}

// Plays the moves (coordinate notation) with the check flags kept, as a game does.
void play(Position& pos, const std::vector<std::string>& moves) {
  for (const std::string& text : moves) pos.lastMove = makeMove(pos, moveFrom(pos, text));
}

// pos as a game has it `plies` plies after the last capture or pawn move: the 50-move clock is
// not in a FEN the board reads, so the history before the position is made up (of positions
// that never repeat it).
void setClock(Position& pos, int plies) {
  for (int i = 0; i < plies; i++) {
    pos.keyHistory[i] = ~uint64_t(i);
    pos.moveHistory[i] = 0;
  }
  pos.ply = uint32_t(plies);
  pos.lastIrreversible = 0;
}

// A random legal position of the table's material, either colour the stronger side, and its
// FEN (clock 0); with `enPassant` (tables with a pawn each) the side not to move has just pushed
// its pawn two squares beside the other's. No position when the placement came out illegal.
struct RandomPosition {
  std::unique_ptr<Position> pos;
  std::string fen;
};
RandomPosition randomPosition(const std::string& table, std::mt19937& rng, bool enPassant) {
  const bool whiteStrong = rng() & 1, whiteToMove = rng() & 1;
  const size_t v = table.find('v');
  std::string pieces[2] = {table.substr(0, v), table.substr(v + 1)};  // White's, Black's
  if (!whiteStrong) std::swap(pieces[0], pieces[1]);
  for (char& c : pieces[1]) c = char(std::tolower(c));
  std::string board(64, '1');  // a8 first; '.' stays empty
  auto at = [&](int file, int rank) -> char& { return board[(7 - rank) * 8 + file]; };
  std::string ep = "-";
  if (enPassant) {
    const int pusher = whiteToMove ? 1 : 0;  // the side that just pushed: Black when White moves
    const int file = int(rng() % 8), beside = file + ((rng() & 1) ? 1 : -1);
    if (beside < 0 || beside > 7) return {};
    const int rank = whiteToMove ? 4 : 3, behind = whiteToMove ? 1 : -1;
    at(file, rank) = pusher == 1 ? 'p' : 'P';
    at(beside, rank) = pusher == 1 ? 'P' : 'p';
    at(file, rank + behind) = at(file, rank + 2 * behind) = '.';
    pieces[pusher].erase(pieces[pusher].find(pusher == 1 ? 'p' : 'P'), 1);
    pieces[1 - pusher].erase(pieces[1 - pusher].find(pusher == 1 ? 'P' : 'p'), 1);
    ep = std::string(1, char('a' + file)) + char('1' + rank + behind);
  }
  // Pawns of 4-men tables stay two pushes from promotion at least: the tables of what they
  // promote to are not among the test's, and the distances after a push need them.
  const bool fourMen = table.size() > 4;
  auto allowed = [&](char piece, int sq) {  // sq counts from a8
    const int rank = 7 - sq / 8;
    if (piece == 'P') return rank >= 1 && rank <= (fourMen ? 4 : 6);
    if (piece == 'p') return rank <= 6 && rank >= (fourMen ? 3 : 1);
    return true;
  };
  for (const char piece : pieces[0] + pieces[1]) {
    int sq;
    do sq = int(rng() % 64);
    while (board[sq] != '1' || !allowed(piece, sq));
    board[sq] = piece;
  }
  std::replace(board.begin(), board.end(), '.', '1');
  RandomPosition r;
  for (int row = 0; row < 8; ++row) r.fen += board.substr(row * 8, 8) + (row < 7 ? "/" : "");
  r.fen += std::string(whiteToMove ? " w - " : " b - ") + ep + " 0 1";
  auto pos = std::make_unique<Position>();
  bool legal = false;
  captureStdout([&] { legal = setFen(*pos, r.fen.c_str()); });
  if (!legal || (enPassant && pos->epSquare == 0)) return {};
  r.pos = std::move(pos);
  return r;
}

struct SyzygyTest : ::testing::Test {
  SearchRecorder recorder;
  void SetUp() override {
    if (!SyzygyTables::builtIn()) GTEST_SKIP() << "built without the Fathom library";
    prepareSearch(controller(), &recorder);
    ASSERT_EQ(tables().load(TableDir), "Syzygy: 10 tables, up to 4 men");
    controller().useSyzygy = true;
    controller().syzygyOptions = SyzygyOptions();
  }
  void TearDown() override {
    controller().useSyzygy = false;
    controller().listener = nullptr;
  }
  static SyzygyTables& tables() { return controller().syzygy; }

  static int search(const Position& pos, int depth) {
    controller().maxDepth = depth;
    controller().newGame();
    controller().setPosition(pos);
    controller().start(false);
    return controller().rootScore();
  }
  // The root moves the tables keep for pos at its clock, as sorted coordinate moves.
  static std::string keptMoves(Position& pos, bool rule50, RootTableResult& result) {
    RootMove moves[MaxMoves];
    Move legal[MaxMoves];
    int count = generateLegalMoves(pos, legal);
    for (int i = 0; i < count; i++) moves[i] = RootMove{legal[i], 0, 0};
    uint64_t hits = 0;
    result = keepTableResult(tables(), pos, moves, count, 7, rule50, hits);
    std::vector<std::string> texts;
    for (int i = 0; i < count; i++) texts.push_back(moveText(moves[i].move));
    std::sort(texts.begin(), texts.end());
    std::string text;
    for (const std::string& t : texts) text += (text.empty() ? "" : " ") + t;
    return text;
  }
};

}  // namespace

TEST(SyzygyBoards, EveryKindColourCastlingAndEnPassant) {
  auto start = positionFrom(InitialFen);
  TableBoards b = tableBoards(*start);
  EXPECT_EQ(b.white, 0xFFFFull);
  EXPECT_EQ(b.black, 0xFFFFull << 48);
  EXPECT_EQ(b.kings, (1ull << 4) | (1ull << 60));
  EXPECT_EQ(b.queens, (1ull << 3) | (1ull << 59));
  EXPECT_EQ(b.rooks, 0x81ull | (0x81ull << 56));
  EXPECT_EQ(b.bishops, 0x24ull | (0x24ull << 56));
  EXPECT_EQ(b.knights, 0x42ull | (0x42ull << 56));
  EXPECT_EQ(b.pawns, (0xFFull << 8) | (0xFFull << 48));
  EXPECT_EQ(b.castling, 15u);
  EXPECT_TRUE(b.whiteToMove);
  EXPECT_EQ(menOnBoard(*start), 32);

  // White king side and Black queen side: the library's bits 1 and 8.
  EXPECT_EQ(tableBoards(*positionFrom("r3k2r/8/8/8/8/8/8/R3K2R w Kq - 0 1")).castling, 9u);

  // A double push beside an enemy pawn leaves the square it crossed (e3, bit 20) for Black.
  auto pos = positionFrom("4k3/8/8/8/3p4/8/4P3/4K3 w - - 0 1");
  play(*pos, {"e2e4"});
  b = tableBoards(*pos);
  EXPECT_EQ(b.epSquare, 20u);
  EXPECT_FALSE(b.whiteToMove);
  EXPECT_EQ(b.pawns, (1ull << 28) | (1ull << 27));
  EXPECT_EQ(b.halfmoveClock, 0u);
  play(*pos, {"e8d7"});
  b = tableBoards(*pos);
  EXPECT_EQ(b.epSquare, 0u);
  EXPECT_EQ(b.halfmoveClock, 1u);
  // Black's c7-c5 with a white pawn on d5: c6 (bit 42) for White.
  pos = positionFrom("4k3/2p5/8/3P4/8/8/8/4K3 b - - 0 1");
  play(*pos, {"c7c5"});
  EXPECT_EQ(tableBoards(*pos).epSquare, 42u);

  // A promoted pawn counts as its new piece; the capture resets the clock.
  pos = positionFrom("3r4/4P3/8/8/8/8/k7/4K3 w - - 0 1");
  play(*pos, {"e7d8n"});
  b = tableBoards(*pos);
  EXPECT_EQ(b.knights, 1ull << 59);
  EXPECT_EQ(b.pawns | b.rooks, 0u);
  EXPECT_EQ(b.white, (1ull << 59) | (1ull << 4));
  EXPECT_EQ(b.black, 1ull << 8);
  EXPECT_EQ(menOnBoard(*pos), 3);
}

TEST(SyzygyLoad, ReportsWhatItFindsAndGoesOnWithoutTables) {
  SyzygyTables& tables = controller().syzygy;
  if (!SyzygyTables::builtIn()) {
    EXPECT_EQ(tables.load(TableDir),
              "Syzygy: unavailable (built without the Fathom library), " + TableDir + " not read");
    EXPECT_FALSE(tables.available());
    return;
  }
  auto kqk = positionFrom("8/8/8/3k4/8/8/8/Q3K3 w - - 0 1");
  TableWdl wdl;
  EXPECT_EQ(tables.load(TableDir + ":" + TableDir), "Syzygy: 10 tables, up to 4 men");
  EXPECT_EQ(tables.tableCount(), 10);
  EXPECT_EQ(tables.largestMen(), 4);
  ASSERT_TRUE(tables.probeWdl(*kqk, wdl));
  EXPECT_EQ(wdl, TableWdl::Win);

  TempDir empty;
  EXPECT_EQ(tables.load(empty.path()), "Syzygy: no tables found in " + empty.path());
  EXPECT_FALSE(tables.available());
  EXPECT_FALSE(tables.probeWdl(*kqk, wdl));
  EXPECT_EQ(tables.load("/no/such/folder:" + TableDir),
            "Syzygy: 10 tables, up to 4 men (no folder /no/such/folder)");
  EXPECT_EQ(tables.load(""), "Syzygy: off");
  EXPECT_FALSE(tables.probeWdl(*kqk, wdl));
  EXPECT_EQ(tables.load("<empty>"), "Syzygy: off");

  // A broken file named like a table is neither counted nor answered from; the good one is.
  TempDir broken;
  broken.write("KQvK.rtbw", std::string(80, 'x'));
  std::filesystem::copy_file(TableDir + "/KRvK.rtbw", broken.file("KRvK.rtbw"));
  std::string line;
  captureStdout([&] { line = tables.load(broken.path()); });
  EXPECT_EQ(line, "Syzygy: 1 table, up to 3 men");
  EXPECT_FALSE(tables.probeWdl(*kqk, wdl));
  ASSERT_TRUE(tables.probeWdl(*positionFrom("8/8/8/3k4/8/8/8/R3K3 b - - 0 1"), wdl));
  EXPECT_EQ(wdl, TableWdl::Loss);
  TableDistance distance;
  EXPECT_FALSE(tables.probeRoot(*kqk, distance));  // no DTZ file there
}

// Stockfish with the same tables is the oracle: its score at the root tells the result, and
// for a win of d plies to the next capture, pawn move or mate it changes from a table win to a
// draw in the 50-move rule exactly when the FEN's clock goes from 100 - d to 101 - d.
TEST_F(SyzygyTest, WinsDrawsLossesAndDistancesAgreeWithStockfish) {
  const std::string stockfish = findProgram("stockfish");
  ASSERT_NE(stockfish, "") << "stockfish not installed (scripts/test installs it)";
  Process sf;
  ASSERT_TRUE(sf.start(stockfish, {})) << sf.failure();
  sf.writeLine("uci");
  sf.writeLine("setoption name SyzygyPath value " + TableDir);
  sf.writeLine("setoption name Threads value 1");
  sf.writeLine("isready");
  ASSERT_TRUE(contains(sf.readUntil("readyok", 20000), "Found 10 tablebases"));
  // +1 a table win (or a mate), 0 a draw, -1 a loss, 2 a win the 50-move rule draws.
  auto stockfishResult = [&](std::string fen, int clock) {
    fen.replace(fen.rfind(" 0 1"), 4, std::string(" ").append(std::to_string(clock)).append(" 1"));
    sf.writeLine("position fen " + fen);
    sf.writeLine("go depth 1");
    const std::string text = sf.readUntil("bestmove", 20000);
    static const std::regex score("score (cp|mate) (-?\\d+)");
    std::string kind = "none";
    int value = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), score), end; it != end; ++it) {
      kind = (*it)[1];
      value = std::stoi((*it)[2]);
    }
    EXPECT_NE(kind, "none") << fen << "\n" << text;
    if (kind == "mate") return value > 0 ? 1 : -1;
    return value > 1000 ? 1 : value < -1000 ? -1 : value > 0 ? 2 : value < 0 ? -2 : 0;
  };
  std::mt19937 rng(39);
  int compared = 0, distances = 0, enPassant = 0;
  for (const std::string& table : TestTables)
    for (int found = 0; found < 16;) {
      const bool ep = table == "KPvKP" && (rng() & 1);
      RandomPosition random = randomPosition(table, rng, ep);
      if (!random.pos) continue;
      found++;
      Position* pos = random.pos.get();
      const std::string& fen = random.fen;
      TableWdl wdl;
      TableDistance distance;
      ASSERT_TRUE(tables().probeWdl(*pos, wdl)) << fen;
      ASSERT_TRUE(tables().probeRoot(*pos, distance)) << fen;
      EXPECT_EQ(distance.wdl, wdl) << fen;
      const int expected = wdl == TableWdl::Win ? 1 : wdl == TableWdl::Loss ? -1 : 0;
      EXPECT_EQ(stockfishResult(fen, 0), expected) << fen;
      compared++;
      enPassant += pos->epSquare != 0;
      // Stockfish ranks by distance only where it has every table the distances need: not
      // where a pawn of a 4-men ending may promote into a table the test does not have.
      const bool complete = table.find('P') == std::string::npos || table == "KPvK";
      if (wdl == TableWdl::Win && distance.dtz >= 2 && complete) {
        EXPECT_EQ(stockfishResult(fen, 100 - distance.dtz), 1) << fen << " dtz " << distance.dtz;
        EXPECT_EQ(stockfishResult(fen, 101 - distance.dtz), 2) << fen << " dtz " << distance.dtz;
        distances++;
      }
    }
  EXPECT_EQ(compared, 160);
  EXPECT_EQ(distances, 24);
  EXPECT_EQ(enPassant, 5);
  sf.writeLine("quit");
  EXPECT_EQ(sf.wait(5000), 0);
}

// Our retrograde solver of every 3-men ending (the stand-in bitbase library) and Debian's
// Gaviota tables, where installed, against the WDL tables on a fixed sample of placements.
TEST_F(SyzygyTest, ThreeMenResultsAgreeWithTheStandInAndGaviota) {
  using namespace standin;
  ASSERT_NE(library(), nullptr) << dlerror();
  ProbeFunction gaviota = nullptr;
#ifdef MELVOK_EGBB_GAVIOTA_DIR
  captureStdout([&] { gaviota = openLibrary(gaviotaDirectory()); });
#endif
  auto sign = [](int v) { return v > 0 ? 1 : v < 0 ? -1 : 0; };
  int compared = 0, gaviotaCompared = 0;
  std::string differences;
  auto pos = std::make_unique<Position>();
  for (int code : {2, 3, 4, 5, 6, 8, 9, 10, 11, 12})
    for (int index = code; index < 2 * 64 * 64 * 64; index += 23) {
      const int sq = index & 63, side = index >> 18, wk = (index >> 12) & 63,
                bk = (index >> 6) & 63;
      const int ours = probe(side, wk, bk, code, sq);
      if (ours == NoInformation) continue;
      ASSERT_TRUE(setFen(*pos, fenOf(side, wk, bk, code, sq).c_str()));
      TableWdl wdl;
      ASSERT_TRUE(tables().probeWdl(*pos, wdl)) << fenOf(side, wk, bk, code, sq);
      compared++;
      if (sign(ours) != sign(int(wdl)) && differences.size() < 2000)
        differences += fenOf(side, wk, bk, code, sq) + ": stand-in " + std::to_string(ours) +
                       ", Syzygy " + std::to_string(int(wdl)) + "\n";
      if (gaviota) {
        const int theirs = probe(gaviota, side, wk, bk, code, sq);
        if (theirs != NoInformation) {
          gaviotaCompared++;
          if (sign(theirs) != sign(int(wdl)) && differences.size() < 2000)
            differences += fenOf(side, wk, bk, code, sq) + ": Gaviota " + std::to_string(theirs) +
                           ", Syzygy " + std::to_string(int(wdl)) + "\n";
        }
      }
    }
  EXPECT_EQ(differences, "");
  EXPECT_EQ(compared, 169201);
  if (gaviota) {
    EXPECT_EQ(gaviotaCompared, compared);
  }
}

// King and queen against king, Ke1 Qa1 against Kd5: 15 plies to mate with best play (dtz 15).
// Qa6 and Qf6 are the moves that keep it at 15; Qd4 and Qe5 give the queen away.
TEST_F(SyzygyTest, RootKeepsTheFastestWinsAndTheFiftyMoveRuleDecides) {
  auto pos = positionFrom("8/8/8/3k4/8/8/8/Q3K3 w - - 0 1");
  RootTableResult result;
  EXPECT_EQ(keptMoves(*pos, true, result), "a1a6 a1f6");
  EXPECT_TRUE(result.inTables);
  EXPECT_EQ(result.score, TablebaseWin - 15);

  // 85 plies into the count, 15 more still end it on the 100th: still a win.
  setClock(*pos, 85);
  EXPECT_EQ(keptMoves(*pos, true, result), "a1a6 a1f6");
  EXPECT_EQ(result.score, TablebaseWin - 15);
  // One ply later the mate comes too late: a draw with the rule, still a win without it.
  setClock(*pos, 86);
  EXPECT_EQ(keptMoves(*pos, true, result), "a1a6 a1f6");
  EXPECT_EQ(result.score, 0);
  EXPECT_EQ(keptMoves(*pos, false, result), "a1a6 a1f6");
  EXPECT_EQ(result.score, TablebaseWin - 15);

  // A draw keeps the drawing moves, the exchange of rooks among them, but not the rook left
  // hanging on d4 or d3.
  auto rooks = positionFrom("8/8/3k4/3r4/8/8/3R4/3K4 b - - 0 1");
  const std::string kept = keptMoves(*rooks, true, result);
  EXPECT_TRUE(contains(kept, "d5d2")) << kept;
  EXPECT_FALSE(contains(kept, "d5d4") || contains(kept, "d5d3")) << kept;
  EXPECT_EQ(result.score, 0);

  // Castling rights or more men than asked for: the root is left alone.
  auto castling = positionFrom("4k3/8/8/8/8/8/8/R3K3 w Q - 0 1");
  EXPECT_EQ(countOf(keptMoves(*castling, true, result), " ") + 1, 16);
  EXPECT_FALSE(result.inTables);
}

// On random positions of every table, against the WDL and DTZ answers of the positions after
// each move: a drawn root keeps exactly the moves to a draw; a won root exactly the moves to a
// loss for the opponent that come soonest to a capture, pawn move or mate (1 ply when the move
// is one, else one more than the opponent's distance). The score is the result at the root's
// own distance.
TEST_F(SyzygyTest, RootKeepsExactlyTheMovesThatKeepTheResult) {
  std::mt19937 rng(7);
  int roots = 0, dropped = 0;
  for (const std::string& table : TestTables)
    for (int found = 0; found < 20;) {
      RandomPosition random = randomPosition(table, rng, table == "KPvKP" && (rng() & 1));
      if (!random.pos) continue;
      Position* pos = random.pos.get();
      Move legal[MaxMoves];
      const int count = generateLegalMoves(*pos, legal);
      if (count == 0) continue;
      found++;
      TableWdl root;
      TableDistance distance;
      ASSERT_TRUE(tables().probeWdl(*pos, root));
      ASSERT_TRUE(tables().probeRoot(*pos, distance));
      RootTableResult result;
      const std::string kept = std::string(" ").append(keptMoves(*pos, true, result)).append(" ");
      ASSERT_TRUE(result.inTables) << random.fen;
      // Each move's result for us and, for a win, its plies to the next zeroing move.
      std::vector<TableWdl> results(count);
      std::vector<int> plies(count);
      int fastest = 1000;
      const UndoInfo undo = saveUndo(*pos);
      for (int i = 0; i < count; i++) {
        pos->lastMove = makeMove(*pos, legal[i]);
        TableWdl child;
        TableDistance after;
        ASSERT_TRUE(tables().probeWdl(*pos, child)) << random.fen << " " << moveText(legal[i]);
        ASSERT_TRUE(tables().probeRoot(*pos, after)) << random.fen << " " << moveText(legal[i]);
        Move replies[MaxMoves];
        const bool zeroes = pos->fiftyMoveCount() == 0 || generateLegalMoves(*pos, replies) == 0;
        unmakeMove(*pos, legal[i], undo);
        results[i] = TableWdl(-int(child));
        plies[i] = zeroes ? 1 : 1 - after.dtz;
        if (results[i] == TableWdl::Win) fastest = std::min(fastest, plies[i]);
      }
      // Every move keeps a loss; the ranking prefers those that a 50-move draw may save.
      for (int i = 0; i < count && root != TableWdl::Loss; i++) {
        const bool keeps = results[i] == root && (root == TableWdl::Draw || plies[i] == fastest);
        EXPECT_EQ(contains(kept, std::string(" ").append(moveText(legal[i])).append(" ")), keeps)
            << random.fen << " " << moveText(legal[i]) << " keeps " << kept;
        dropped += !keeps;
      }
      const int win = TablebaseWin - std::abs(distance.dtz);
      EXPECT_EQ(result.score, root == TableWdl::Win ? win : root == TableWdl::Loss ? -win : 0);
      roots++;
    }
  EXPECT_EQ(roots, 200);
  EXPECT_EQ(dropped, 1016);
}

// A mate the search proves beats a table win: Qa7 and Qg8 mate, Qxh1 wins the rook into a won
// ending.
TEST_F(SyzygyTest, AFoundMateBeatsATableWin) {
  auto pos = positionFrom("k7/7Q/1K6/8/8/8/8/7r w - - 0 1");
  EXPECT_EQ(search(*pos, 4), Infinity - 1);
  EXPECT_EQ(controller().reportedScore(controller().rootScore()), Infinity - 1);
  EXPECT_TRUE(controller().rootTables.inTables);
  const std::string best = moveText(controller().bestMove());
  EXPECT_TRUE(best == "h7a7" || best == "h7g8") << best;
}

// A node right after a capture asks the tables: a loss for the side to move at ply 1 scores
// -(TablebaseWin - 1) and is stored relative to the node as an upper bound, deeper than
// searched; a mated node is a mate, not a table loss. With the bitbases loaded too, Syzygy
// answers first; switched off, the bitbases answer (a won score below the table band).
TEST_F(SyzygyTest, NodesAfterACaptureAskTheTablesBeforeTheBitbases) {
  auto nodeValue = [](const char* fen, int& stored, uint8_t& bound) {
    auto pos = positionFrom(fen);
    controller().newGame();
    controller().setPosition(*pos);
    controller().searchStart();
    SearchThread& t = controller().master();
    t.stop = 0;
    const int value = ::search(t, 1, -Infinity, Infinity, 3, pos->lastMove, PvNode);
    TtEntry e;
    stored = controller().table().probe(*pos, e) ? e.score : 99999;
    bound = e.bound;
    return value;
  };
  int stored;
  uint8_t bound;
  EXPECT_EQ(nodeValue("8/8/8/3k4/8/8/8/Q3K3 b - - 0 1", stored, bound), -(TablebaseWin - 1));
  EXPECT_EQ(stored, -TablebaseWin);
  EXPECT_EQ(bound, BoundUpper);
  EXPECT_EQ(controller().master().counters.tableHits, 1u);
  EXPECT_EQ(nodeValue("8/8/8/3k4/8/8/8/Q3K3 w - - 0 1", stored, bound), TablebaseWin - 1);
  EXPECT_EQ(stored, TablebaseWin);
  EXPECT_EQ(bound, BoundLower);
  EXPECT_EQ(nodeValue("8/8/3k4/3r4/8/8/3R4/3K4 b - - 0 1", stored, bound), 0);
  EXPECT_EQ(bound, BoundExact);
  EXPECT_EQ(nodeValue("k7/1Q6/1K6/8/8/8/8/8 b - - 0 1", stored, bound), 1 - Infinity);

  bool loaded = false;
  captureStdout([&] { loaded = controller().bitbases.startUp(MELVOK_EGBB_DIR, nullptr); });
  ASSERT_TRUE(loaded);
  controller().useBitbases = true;
  EXPECT_EQ(nodeValue("8/8/8/3k4/8/8/8/Q3K3 b - - 0 1", stored, bound), -(TablebaseWin - 1));
  controller().useSyzygy = false;
  const int value = nodeValue("8/8/8/3k4/8/8/8/Q3K3 b - - 0 1", stored, bound);
  EXPECT_LT(value, -WinBound);
  EXPECT_GT(value, -(TablebaseWin - TablebaseMaxDistance));  // the bitbases' band
  controller().useBitbases = false;
}

// The probe depth and the men limit decide where the search asks: with a probe depth beyond the
// search only the root's moves are ranked; a limit below the root's men leaves the root alone but
// still probes the 3-men positions after a capture.
TEST_F(SyzygyTest, ProbeDepthAndLimitDecideWhereTheSearchAsks) {
  auto pos = positionFrom("4k3/8/8/8/8/8/4r3/4K2Q w - - 0 1");  // Kxe2 leaves queen against king
  Move legal[MaxMoves];
  const int moves = generateLegalMoves(*pos, legal);
  controller().syzygyOptions.probeDepth = 20;
  search(*pos, 6);
  EXPECT_EQ(controller().tableHits(), uint64_t(moves));
  EXPECT_EQ(controller().reportedScore(controller().rootScore()), TablebaseWin - 1);

  controller().syzygyOptions.probeDepth = 1;
  search(*pos, 6);
  EXPECT_GT(controller().tableHits(), uint64_t(moves));

  controller().syzygyOptions.probeLimit = 3;
  search(*pos, 6);
  EXPECT_FALSE(controller().rootTables.inTables);
  EXPECT_GT(controller().tableHits(), 0u);
  EXPECT_EQ(moveText(controller().bestMove()), "e1e2");

  controller().useSyzygy = false;
  search(*pos, 6);
  EXPECT_EQ(controller().tableHits(), 0u);
}

// Games from the tables' own positions: the engine at a small depth against a defender that
// plays the tables' most stubborn move. A won position is mated within the 50-move rule, and
// every engine move keeps the win; after every engine move a drawn one is still drawn (until
// the 50-move rule or 160 plies end the game).
TEST_F(SyzygyTest, ConvertsWinsWithinTheFiftyMoveRuleAndHoldsDraws) {
  auto defence = [](Position& pos) {
    RootMove moves[MaxMoves];
    Move legal[MaxMoves];
    int count = generateLegalMoves(pos, legal);
    for (int i = 0; i < count; i++) moves[i] = RootMove{legal[i], 0, 0};
    uint64_t hits = 0;
    keepTableResult(tables(), pos, moves, count, 7, true, hits);
    // Among the moves that keep the result, the one farthest from the next capture or pawn move.
    Move best = moves[0].move;
    int bestDistance = -1;
    const UndoInfo undo = saveUndo(pos);
    for (int i = 0; i < count; i++) {
      makeMove(pos, moves[i].move);
      TableDistance d;
      const int distance = tables().probeRoot(pos, d) ? std::abs(d.dtz) : 0;
      unmakeMove(pos, moves[i].move, undo);
      if (distance > bestDistance) best = moves[i].move, bestDistance = distance;
    }
    return best;
  };
  struct Game {
    const char* fen;
    TableWdl result;  // for the engine, which moves first
  };
  for (const Game& game : {Game{"8/8/8/3k4/8/8/8/Q3K3 w - - 0 1", TableWdl::Win},
                           Game{"8/8/8/4k3/8/8/8/R3K3 w - - 0 1", TableWdl::Win},
                           Game{"4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", TableWdl::Win},
                           Game{"8/8/8/2k5/8/8/1Q6/K6r w - - 0 1", TableWdl::Win},
                           Game{"8/8/3k4/3r4/8/8/3R4/3K4 w - - 0 1", TableWdl::Draw},
                           Game{"8/8/8/8/3k4/8/3K4/3B3b w - - 0 1", TableWdl::Draw},
                           Game{"1k6/8/8/8/8/8/P7/K1B5 b - - 0 1", TableWdl::Draw}}) {
    auto pos = positionFrom(game.fen);
    const int engine = int(pos->sideToMove);
    TableWdl start;
    ASSERT_TRUE(tables().probeWdl(*pos, start));
    ASSERT_EQ(start, game.result) << game.fen;
    Move moves[MaxMoves];
    int plies = 0, longestCount = 0;
    for (; plies < 160 && generateLegalMoves(*pos, moves) > 0 && pos->fiftyMoveCount() < 100;
         plies++) {
      const bool engineMoves = int(pos->sideToMove) == engine;
      Move m = 0;
      if (engineMoves) {
        search(*pos, 5);
        m = controller().bestMove();
      } else {
        m = defence(*pos);
      }
      ASSERT_NE(m, 0u) << game.fen << " ply " << plies;
      pos->lastMove = makeMove(*pos, m);
      longestCount = std::max(longestCount, pos->fiftyMoveCount());
      if (engineMoves && menOnBoard(*pos) > 2) {
        TableWdl wdl;
        ASSERT_TRUE(tables().probeWdl(*pos, wdl));
        const TableWdl expected = game.result == TableWdl::Win ? TableWdl::Loss : TableWdl::Draw;
        ASSERT_EQ(wdl, expected) << game.fen << " ply " << plies;
      }
    }
    if (game.result == TableWdl::Win) {
      EXPECT_TRUE(pos->inCheck() && generateLegalMoves(*pos, moves) == 0)
          << game.fen << ": no mate after " << plies << " plies";
      EXPECT_LT(longestCount, 100) << game.fen;
    }
  }
}
