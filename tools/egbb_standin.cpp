// A stand-in for the outside endgame bitbase library. It honours the library's calling
// contract (two C entry points, 32-bit integer arguments, squares a1 = 0 .. h8 = 63, pieces
// 2 queen .. 6 pawn for White and 8 .. 12 for Black, 0 a draw, 99999 no information) and
// answers every position with three men exactly: king and queen, rook, bishop, knight or
// pawn against the bare king, either colour strong, either side to move.
//
// The tables are solved by retrograde analysis when the library is loaded: the checkmates
// are the seeds, a breadth-first walk over retracted moves assigns every won position its
// distance to mate in plies, and a position where the lone king has a move that escapes
// (or captures the piece) is never lost. The king and pawn table is solved together with
// the others, so a promotion leads straight into the solved piece tables.
//
// Answers for the side to move: a win is WinScore - plies to mate, a loss its negation.
// WinScore stays below the engine's own values for pawnless wins, so that the engine
// prefers promoting to keeping the pawn.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

constexpr int32_t NoInformation = 99999;
constexpr int WinScore = 5000;

// The strong side's piece, with White as the strong side; the order is the table order.
enum Kind { Queen, Rook, Bishop, Knight, Pawn, KindCount };

constexpr int16_t Unresolved = -1;  // drawn once the analysis is done
constexpr int16_t Illegal = -2;
// Marks a position where Black can capture the piece: never lost.
constexpr uint8_t Escapes = 255;

constexpr int PerSide = 64 * 64 * 64;
constexpr int TableSize = KindCount * 2 * PerSide;

// Index layout: kind, side to move, white king, black king, piece square.
inline int indexOf(int kind, int side, int wk, int bk, int piece) {
  return ((kind * 2 + side) << 18) | (wk << 12) | (bk << 6) | piece;
}

inline int fileOf(int sq) { return sq & 7; }
inline int rankOf(int sq) { return sq >> 3; }
inline int distance(int a, int b) {
  return std::max(std::abs(fileOf(a) - fileOf(b)), std::abs(rankOf(a) - rankOf(b)));
}

constexpr int KingSteps[8][2] = {{1, 0},  {1, 1},   {0, 1},  {-1, 1},
                                 {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
constexpr int KnightSteps[8][2] = {{1, 2},   {2, 1},   {2, -1}, {1, -2},
                                   {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};

// The square `steps` times (df, dr) away from sq, or -1 off the board.
inline int stepFrom(int sq, int df, int dr) {
  int f = fileOf(sq) + df, r = rankOf(sq) + dr;
  return (f < 0 || f > 7 || r < 0 || r > 7) ? -1 : r * 8 + f;
}

inline bool isSlider(int kind) { return kind == Queen || kind == Rook || kind == Bishop; }
inline bool movesDiagonally(int kind) { return kind == Queen || kind == Bishop; }
inline bool movesStraight(int kind) { return kind == Queen || kind == Rook; }

// Whether the white piece of `kind` on `from` attacks `to` when only `blocker` may stand in
// between (the other squares of a three-men position are the two ends and the blocker).
bool attacks(int kind, int from, int to, int blocker) {
  int df = fileOf(to) - fileOf(from), dr = rankOf(to) - rankOf(from);
  if (df == 0 && dr == 0) return false;
  switch (kind) {
    case Pawn:
      return dr == 1 && (df == 1 || df == -1);
    case Knight:
      return (std::abs(df) == 1 && std::abs(dr) == 2) || (std::abs(df) == 2 && std::abs(dr) == 1);
    default: {
      bool straight = df == 0 || dr == 0;
      bool diagonal = std::abs(df) == std::abs(dr);
      if (!((straight && movesStraight(kind)) || (diagonal && movesDiagonally(kind)))) return false;
      int sf = (df > 0) - (df < 0), sr = (dr > 0) - (dr < 0);
      for (int sq = stepFrom(from, sf, sr); sq != to; sq = stepFrom(sq, sf, sr))
        if (sq == blocker) return false;
      return true;
    }
  }
}

bool isLegal(int kind, int side, int wk, int bk, int piece) {
  if (wk == bk || wk == piece || bk == piece) return false;
  if (distance(wk, bk) <= 1) return false;
  if (kind == Pawn && (rankOf(piece) == 0 || rankOf(piece) == 7)) return false;
  // With White to move the black king cannot stand in check.
  if (side == 0 && attacks(kind, piece, bk, wk)) return false;
  return true;
}

class Solver {
 public:
  void solve();
  int16_t value(int index) const { return value_[index]; }

 private:
  void seed();
  void retractWhite(int kind, int wk, int bk, int piece, int dtm);
  void retractBlack(int kind, int wk, int bk, int piece, int dtm);
  void resolveWhiteToMove(int index, int dtm);
  uint8_t countBlackMoves(int kind, int wk, int bk, int piece, bool& inCheck) const;

  std::vector<int16_t> value_;
  std::vector<uint8_t> movesLeft_;  // black to move: replies not yet known to lose
  std::vector<int> queue_;
};

uint8_t Solver::countBlackMoves(int kind, int wk, int bk, int piece, bool& inCheck) const {
  inCheck = attacks(kind, piece, bk, wk);
  uint8_t moves = 0;
  for (const auto& step : KingSteps) {
    int to = stepFrom(bk, step[0], step[1]);
    if (to < 0 || distance(to, wk) <= 1) continue;
    if (to == piece) return Escapes;  // not defended by the king: taking it draws
    // The black king leaves bk, so a slider's line through bk stays open.
    if (attacks(kind, piece, to, wk)) continue;
    ++moves;
  }
  return moves;
}

void Solver::seed() {
  for (int kind = 0; kind < KindCount; ++kind)
    for (int side = 0; side < 2; ++side)
      for (int wk = 0; wk < 64; ++wk)
        for (int bk = 0; bk < 64; ++bk)
          for (int piece = 0; piece < 64; ++piece) {
            int index = indexOf(kind, side, wk, bk, piece);
            if (!isLegal(kind, side, wk, bk, piece)) {
              value_[index] = Illegal;
              continue;
            }
            if (side == 0) continue;
            bool inCheck = false;
            uint8_t moves = countBlackMoves(kind, wk, bk, piece, inCheck);
            movesLeft_[index] = moves;
            if (moves == 0 && inCheck) {
              value_[index] = 0;
              queue_.push_back(index);
            }
          }
}

void Solver::resolveWhiteToMove(int index, int dtm) {
  if (value_[index] != Unresolved) return;  // illegal, or reached by a shorter mate
  value_[index] = int16_t(dtm);
  queue_.push_back(index);
}

// Black to move at (wk, bk, piece) is lost in dtm plies: every position from which White
// reaches it in one move wins in dtm + 1.
void Solver::retractWhite(int kind, int wk, int bk, int piece, int dtm) {
  for (const auto& step : KingSteps) {
    int from = stepFrom(wk, step[0], step[1]);
    if (from < 0 || from == piece || from == bk) continue;
    resolveWhiteToMove(indexOf(kind, 0, from, bk, piece), dtm + 1);
  }
  if (kind == Pawn) {
    int back = piece - 8;
    if (rankOf(piece) >= 2 && back != wk && back != bk) {
      resolveWhiteToMove(indexOf(Pawn, 0, wk, bk, back), dtm + 1);
      int start = piece - 16;
      if (rankOf(piece) == 3 && start != wk && start != bk)
        resolveWhiteToMove(indexOf(Pawn, 0, wk, bk, start), dtm + 1);
    }
    return;
  }
  // A piece on the last rank may just have been promoted.
  if (rankOf(piece) == 7) {
    int pawn = piece - 8;
    if (pawn != wk && pawn != bk) resolveWhiteToMove(indexOf(Pawn, 0, wk, bk, pawn), dtm + 1);
  }
  if (kind == Knight) {
    for (const auto& jump : KnightSteps) {
      int from = stepFrom(piece, jump[0], jump[1]);
      if (from >= 0 && from != wk && from != bk)
        resolveWhiteToMove(indexOf(kind, 0, wk, bk, from), dtm + 1);
    }
    return;
  }
  for (const auto& dir : KingSteps) {
    bool diagonal = dir[0] != 0 && dir[1] != 0;
    if (diagonal ? !movesDiagonally(kind) : !movesStraight(kind)) continue;
    for (int from = stepFrom(piece, dir[0], dir[1]); from >= 0 && from != wk && from != bk;
         from = stepFrom(from, dir[0], dir[1]))
      resolveWhiteToMove(indexOf(kind, 0, wk, bk, from), dtm + 1);
  }
}

// White to move at (wk, bk, piece) wins in dtm plies: each position from which Black's king
// steps into it loses one more of its escapes; with none left it is lost in dtm + 1.
void Solver::retractBlack(int kind, int wk, int bk, int piece, int dtm) {
  for (const auto& step : KingSteps) {
    int from = stepFrom(bk, step[0], step[1]);
    if (from < 0 || from == piece || distance(from, wk) <= 1) continue;
    int index = indexOf(kind, 1, wk, from, piece);
    if (value_[index] != Unresolved || movesLeft_[index] == Escapes) continue;
    if (--movesLeft_[index] == 0) {
      value_[index] = int16_t(dtm + 1);
      queue_.push_back(index);
    }
  }
}

void Solver::solve() {
  value_.assign(TableSize, Unresolved);
  movesLeft_.assign(TableSize, 0);
  queue_.clear();
  queue_.reserve(TableSize / 2);
  seed();
  // The queue holds positions in the order of their distance to mate, so the first value a
  // position receives is its shortest mate (White) or longest resistance (Black).
  for (size_t next = 0; next < queue_.size(); ++next) {
    int index = queue_[next];
    int kind = index >> 19, side = (index >> 18) & 1;
    int wk = (index >> 12) & 63, bk = (index >> 6) & 63, piece = index & 63;
    if (side == 1)
      retractWhite(kind, wk, bk, piece, value_[index]);
    else
      retractBlack(kind, wk, bk, piece, value_[index]);
  }
  std::vector<uint8_t>().swap(movesLeft_);
  std::vector<int>().swap(queue_);
}

Solver solver;
std::once_flag solvedOnce;
std::atomic<bool> solved{false};

int32_t probe(int side, int wk, int bk, int code, int square) {
  // Bare kings: a draw when the kings stand legally.
  if (code == 0) return (wk != bk && distance(wk, bk) > 1) ? 0 : NoInformation;
  bool blackStrong = code >= 8;
  int kind = (blackStrong ? code - 6 : code) - 2;
  if (blackStrong) {
    // Turn the board: Black's piece becomes White's, ranks flipped.
    int whiteKing = bk ^ 56, blackKing = wk ^ 56;
    wk = whiteKing;
    bk = blackKing;
    square ^= 56;
    side ^= 1;
  }
  int16_t dtm = solver.value(indexOf(kind, side, wk, bk, square));
  if (dtm == Illegal) return NoInformation;
  if (dtm == Unresolved) return 0;
  // Only the strong side can win: White to move is winning, Black to move is losing.
  return side == 0 ? WinScore - dtm : -(WinScore - dtm);
}

bool validPiece(int code) { return (code >= 2 && code <= 6) || (code >= 8 && code <= 12); }
bool validSquare(int sq) { return sq >= 0 && sq < 64; }

}  // namespace

#define EGBB_EXPORT __attribute__((visibility("default")))

extern "C" {

// The path and cache size matter only to a library that reads files; these tables are
// computed in memory.
EGBB_EXPORT void load_egbb_5men(const char* /*path*/, int32_t /*cacheBytes*/,
                                int32_t /*loadOption*/) {
  std::call_once(solvedOnce, [] {
    solver.solve();
    solved.store(true, std::memory_order_release);
  });
}

EGBB_EXPORT int32_t probe_egbb_5men(int32_t side, int32_t whiteKing, int32_t blackKing,
                                    int32_t piece1, int32_t square1, int32_t piece2,
                                    int32_t square2, int32_t piece3, int32_t square3) {
  if (!solved.load(std::memory_order_acquire)) return NoInformation;
  if ((side != 0 && side != 1) || !validSquare(whiteKing) || !validSquare(blackKing))
    return NoInformation;
  // The pieces may come in any of the three slots; more than one is beyond these tables.
  int code = 0, square = 0, count = 0;
  const int32_t pieces[3][2] = {{piece1, square1}, {piece2, square2}, {piece3, square3}};
  for (const auto& p : pieces) {
    if (p[0] == 0) continue;
    if (!validPiece(p[0]) || !validSquare(p[1])) return NoInformation;
    code = p[0];
    square = p[1];
    ++count;
  }
  if (count > 1) return NoInformation;
  return probe(side, whiteKing, blackKing, code, square);
}

}  // extern "C"
