#pragma once
// Helpers for the tests of the bitbase libraries (the stand-in of tools/egbb_standin.cpp and the
// one over the Gaviota tables): their entry points, positions in the libraries' numbering, and
// the one-ply consistency check of a library's answers against the board's move generator.
#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>

#include "board/movegen.h"
#include "support/positions.h"
#include "support/temp_dir.h"

namespace standin {

constexpr int WinScore = 5000;  // the libraries' value of a mate in 0 plies
constexpr int32_t NoInformation = 99999;
// Library piece codes of White's pieces; Black's add 6.
constexpr int QueenCode = 2, RookCode = 3, BishopCode = 4, KnightCode = 5, PawnCode = 6;

using ProbeFunction = int32_t (*)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                  int32_t, int32_t);

// The bitbase library in `directory`, loaded with a 16 MB cache; null if it cannot be opened.
inline ProbeFunction openLibrary(const std::string& directory) {
  void* handle = dlopen((directory + "/egbbdll.so").c_str(), RTLD_NOW);
  if (handle == nullptr) return nullptr;
  auto load =
      reinterpret_cast<void (*)(const char*, int32_t, int32_t)>(dlsym(handle, "load_egbb_5men"));
  load((directory + "/").c_str(), 16 << 20, 1);
  return reinterpret_cast<ProbeFunction>(dlsym(handle, "probe_egbb_5men"));
}

// The stand-in library, loaded (and solved) once per process.
inline ProbeFunction library() {
  static ProbeFunction probe = openLibrary(MELVOK_EGBB_DIR);
  return probe;
}

#ifdef MELVOK_EGBB_GAVIOTA_DIR
// A copy of the Gaviota library in a directory of its own for the process's lifetime: with no
// folder list beside it, it reads Debian's tables, whatever a developer keeps beside the built one.
inline const std::string& gaviotaDirectory() {
  static TempDir dir;
  static const std::string path = [] {
    std::error_code error;
    std::filesystem::copy_file(MELVOK_EGBB_GAVIOTA_DIR "/egbbdll.so", dir.file("egbbdll.so"),
                               error);
    return dir.path();
  }();
  return path;
}
#endif

// Three men: kings and one piece (code 0: bare kings), squares a1 = 0 .. h8 = 63.
inline int probe(ProbeFunction f, int side, int wk, int bk, int code, int sq) {
  return f(side, wk, bk, code, code != 0 ? sq : 0, 0, 0, 0, 0);
}
inline int probe(int side, int wk, int bk, int code, int sq) {
  return probe(library(), side, wk, bk, code, sq);
}

inline int fromBoard(int sq) { return (sq & 7) + 8 * (sq >> 4); }

// FEN of the position (a digit 1 for each empty square); a code 0 leaves the piece out.
inline std::string fenOf(int side, int wk, int bk, int code, int sq) {
  std::string board(64, '1');
  board[wk] = 'K';
  board[bk] = 'k';
  if (code != 0) board[sq] = "..QRBNP.qrbnp"[code];
  std::string fen;
  for (int rank = 7; rank >= 0; --rank) fen += board.substr(rank * 8, 8) + (rank ? "/" : "");
  return fen + (side == 0 ? " w - - 0 1" : " b - - 0 1");
}

// The value a position must have, derived one ply deep from the library's answers for the
// positions after every legal move the board's generator finds: a win in n + 1 if some move
// leads to a loss in n (shortest), a draw if some move draws, else a loss one ply later than the
// longest resistance. Compares with the library's own answer; `why` tells what was expected.
inline bool consistentWithMoves(int side, int wk, int bk, int code, int sq, std::string& why) {
  const int actual = probe(side, wk, bk, code, sq);
  const std::string fen = fenOf(side, wk, bk, code, sq);
  Position pos;
  if (!setFen(pos, fen.c_str())) {
    why = "the library answers a position the board refuses: " + fen;
    return actual == NoInformation;
  }
  Move moves[MaxMoves];
  const int count = generateLegalMoves(pos, moves);
  int bestWin = -1, longestLoss = -1;
  bool drawn = count == 0 && !pos.inCheck();
  for (int i = 0; i < count; ++i) {
    const Move m = moves[i];
    const int from = fromBoard(moveFrom(m)), to = fromBoard(moveTo(m));
    int cwk = wk, cbk = bk, ccode = moveCaptured(m) ? 0 : code, csq = sq;
    (from == wk ? cwk : from == bk ? cbk : csq) = to;
    if (const int kind = movePromotion(m)) {
      ccode = kind == Queen    ? QueenCode
              : kind == Rook   ? RookCode
              : kind == Bishop ? BishopCode
                               : KnightCode;
      if (code > 6) ccode += 6;
    }
    const int child = probe(side ^ 1, cwk, cbk, ccode, csq);
    if (child == NoInformation) {
      why = "no answer after a legal move from " + fen;
      return false;
    }
    if (child < 0 && (bestWin < 0 || WinScore + child < bestWin)) bestWin = WinScore + child;
    if (child == 0) drawn = true;
    if (child > 0) longestLoss = std::max(longestLoss, WinScore - child);
  }
  const int expected = bestWin >= 0 ? WinScore - (bestWin + 1)
                       : drawn      ? 0
                                    : -(WinScore - (longestLoss + 1));  // mated: -WinScore
  why = fen + ": expected " + std::to_string(expected) + ", the library says " +
        std::to_string(actual);
  return actual == expected;
}

}  // namespace standin
