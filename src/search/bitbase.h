#pragma once
// Endgame bitbases supplied by an outside library ("egbbdll" plus the platform's
// shared-library suffix) that exports "load_egbb_5men" and "probe_egbb_5men". Start-up loads
// and initialises it once; the search then probes it from every thread without a lock. With
// no library everything reports "not available" and the search never probes.
//
// What the search calls (see the search and quiescence search):
//   at search start:  probeLimit = bitbases.probeLimit();
//                     unconditionalLimit = bitbases.unconditionalLimit();
//   at a node:        int men = bitbaseMen(pos);
//                     if (men <= probeLimit && pos.epSquare == 0 && ...) {
//                       int score;
//                       if (bitbases.probe(pos, score)) ...
//                     }
#include <cstdint>

#include "base/platform.h"
#include "base/rc_string.h"
#include "board/position.h"

// The library's answer for a position it does not hold.
constexpr int32_t EgbbNoInformation = 99999;

class Bitbases {
 public:
  // The library's entry points: cdecl, every argument a 32-bit integer (the path a pointer).
  using LoadFunction = void (*)(const char* path, int32_t cacheBytes, int32_t loadOption);
  using ProbeFunction = int32_t (*)(int32_t side, int32_t whiteKing, int32_t blackKing,
                                    int32_t piece1, int32_t square1, int32_t piece2,
                                    int32_t square2, int32_t piece3, int32_t square3);

  Bitbases() = default;
  Bitbases(const Bitbases&) = delete;
  Bitbases& operator=(const Bitbases&) = delete;

  // Loads the library from `directory` (empty: "egbb") and finds its two entry points.
  bool loadLibrary(const char* directory);
  // Calls the library's load with the cache size, then finds out how many men it answers.
  bool initialise();
  // Start-up in one call: load from "egbb.dir", take "egbb.cachemb" (null or empty when the
  // key is missing), initialise. Does nothing for an empty directory.
  bool startUp(const char* directory, const char* cacheMb);
  // Forgets the library: the search probes no bitbases until one is loaded again.
  void unload();

  bool available() const { return probeFn != nullptr; }
  // Limits on the number of non-king men that the search derives at search start: probing is
  // allowed up to probeLimit(); up to unconditionalLimit() it needs no further condition.
  // Both are -1 (never probe) while no library is loaded.
  int probeLimit() const { return available() && egbbLoaded ? egbbMaxMen - 2 : -1; }
  int unconditionalLimit() const { return available() && egbbLoaded ? egbbRam - 2 : -1; }

  // The library's answer for pos as a score for the side to move; false when there is no
  // answer (no library, too many men, castling rights, or 99999). Pawnless wins get the mop-up
  // value instead of the library's number, so that the search has something to make progress on.
  bool probe(const Position& pos, int& score) const;

  RcString egbbPath;  // library directory, with a trailing separator
  DynamicLibrary egbbModule;
  LoadFunction loadFn = nullptr;
  ProbeFunction probeFn = nullptr;  // null: bitbases are not available
  bool egbbLoaded = false;
  int egbbMaxMen = 0;
  int egbbRam = 0;
  int egbbCacheMb = 16;
};

// Pawns and pieces other than kings, both sides together.
inline int bitbaseMen(const Position& pos) {
  return pawnCount(pos.material[White]) + officerCount(pos.material[White]) +
         pawnCount(pos.material[Black]) + officerCount(pos.material[Black]);
}

// Drives a lone king to the edge (with bishop and knight: to a corner of the bishop's colour)
// for the winning side `winner`; 0 when a pawn is on the board.
int mopUpValue(const Position& pos, int winner);
