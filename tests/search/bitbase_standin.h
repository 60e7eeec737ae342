#pragma once
// Shared helpers for the tests of the bitbase libraries (the stand-in, tools/egbb_standin.cpp,
// and the one over the Gaviota tables): direct access to their entry points, positions built
// from the libraries' numbering, and the one-ply consistency check of the stand-in's answers
// against the board's move generator.
#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>

#include "board/movegen.h"
#include "board/position.h"
#include "support/temp_dir.h"

namespace standin {

constexpr int WinScore = 5000;  // the stand-in's value of a mate in 0 plies
constexpr int32_t NoInformation = 99999;
// Library piece codes for the strong side's piece, White; Black adds 6.
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
// A copy of the Gaviota library in a directory of its own, for the process's lifetime: with no
// folder list beside it, it reads Debian's tables, whatever a developer keeps beside the built
// one.
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
inline int probe(int side, int wk, int bk, int code, int sq) {
  return library()(side, wk, bk, code, code != 0 ? sq : 0, 0, 0, 0, 0);
}

inline int toBoard(int sq) { return (sq & 7) + 16 * (sq >> 3); }
inline int fromBoard(int sq) { return (sq & 7) + 8 * (sq >> 4); }

// FEN of the position; a code 0 leaves the piece out.
inline std::string fenOf(int side, int wk, int bk, int code, int sq) {
  char board[64];
  for (char& c : board) c = 0;
  board[wk] = 'K';
  board[bk] = 'k';
  if (code != 0) {
    const char* letters = "..qrbnp";
    char letter = letters[code > 6 ? code - 6 : code];
    board[sq] = code > 6 ? letter : char(letter - 'a' + 'A');
  }
  std::string fen;
  for (int rank = 7; rank >= 0; --rank) {
    int empty = 0;
    for (int file = 0; file < 8; ++file) {
      char c = board[rank * 8 + file];
      if (c == 0) {
        ++empty;
        continue;
      }
      if (empty > 0) fen += char('0' + empty);
      empty = 0;
      fen += c;
    }
    if (empty > 0) fen += char('0' + empty);
    if (rank > 0) fen += '/';
  }
  return fen + (side == 0 ? " w - - 0 1" : " b - - 0 1");
}

// The value the stand-in must give a position, derived one ply deep from its answers for the
// positions after every legal move that the board's generator finds: a win in n + 1 if some
// move leads to a loss in n (shortest), a draw if some move draws, else a loss in one more
// ply than the longest resistance. Compares with the library's own answer; on a mismatch
// `why` says what was expected.
inline bool consistentWithMoves(int side, int wk, int bk, int code, int sq, std::string& why) {
  int actual = probe(side, wk, bk, code, sq);
  Position pos;
  std::string fen = fenOf(side, wk, bk, code, sq);
  if (!setFen(pos, fen.c_str())) {
    why = "library answers a position the board rejects: " + fen;
    return actual == NoInformation;
  }
  Move moves[MaxMoves];
  int count = generateLegalMoves(pos, moves);
  int expected;
  if (count == 0) {
    expected = pos.inCheck() ? -WinScore : 0;
  } else {
    int bestWin = -1, longestLoss = -1;
    bool drawn = false;
    for (int i = 0; i < count; ++i) {
      Move m = moves[i];
      int from = fromBoard(moveFrom(m)), to = fromBoard(moveTo(m));
      int cwk = wk, cbk = bk, ccode = code, csq = sq;
      if (moveCaptured(m) != 0) {
        ccode = 0;  // bare kings
      }
      if (from == wk)
        cwk = to;
      else if (from == bk)
        cbk = to;
      else
        csq = to;
      if (movePromotion(m) != 0) {
        int kind = movePromotion(m);
        ccode = kind == Queen    ? QueenCode
                : kind == Rook   ? RookCode
                : kind == Bishop ? BishopCode
                                 : KnightCode;
        if (code > 6) ccode += 6;
      }
      int child = probe(side ^ 1, cwk, cbk, ccode, csq);
      if (child == NoInformation) {
        why = "no answer after a legal move from " + fen;
        return false;
      }
      if (child < 0) {
        int plies = WinScore + child;
        if (bestWin < 0 || plies < bestWin) bestWin = plies;
      } else if (child == 0) {
        drawn = true;
      } else {
        longestLoss = std::max(longestLoss, WinScore - child);
      }
    }
    expected = bestWin >= 0 ? WinScore - (bestWin + 1)
               : drawn      ? 0
                            : -(WinScore - (longestLoss + 1));
  }
  why = fen + ": expected " + std::to_string(expected) + ", library says " + std::to_string(actual);
  return actual == expected;
}

}  // namespace standin
