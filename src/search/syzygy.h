#pragma once
// Syzygy endgame tables, read through Debian's Fathom probing library. The WDL tables say
// whether a position is won, drawn or lost (and whether the win comes too late for the 50-move
// rule); the DTZ tables say how many plies it takes to the next capture or pawn move that keeps
// the result. The search asks the WDL tables at its nodes; the root ranks its moves by DTZ.
//
// Fathom keeps its tables in process-wide state: this class is the only code that touches it
// (opening the library at run time, see syzygy.cpp), and the program owns one object of it (in
// the search controller). Loading tables into one object replaces what any other had loaded.
// Built without Fathom, or without the library at run time, the same class reports the tables
// as unavailable and never answers.
//
// Threads: probeWdl may be called from every search thread at once. load, probeRoot and
// rankRootMoves must not run beside any other call (the root and the protocols call them while
// no search runs).
#include <cstdint>
#include <string>
#include <vector>

#include "board/position.h"

// A table result for the side to move. Cursed wins are wins that the 50-move rule turns into
// draws (the next capture or pawn move comes more than 100 plies after the last one); blessed
// losses are their other side.
enum class TableWdl : int { Loss = -2, BlessedLoss = -1, Draw = 0, CursedWin = 1, Win = 2 };

// A position as the tables see it: one 64-bit set per colour and per kind (a1 = bit 0, h8 =
// bit 63), the en-passant target square as a bit index (0: none), the 50-move clock and the
// castling rights (the library's bits: white king side 1, white queen side 2, black king side
// 4, black queen side 8).
struct TableBoards {
  uint64_t white = 0, black = 0;
  uint64_t kings = 0, queens = 0, rooks = 0, bishops = 0, knights = 0, pawns = 0;
  unsigned epSquare = 0;
  unsigned halfmoveClock = 0;
  unsigned castling = 0;
  bool whiteToMove = true;
};
TableBoards tableBoards(const Position& pos);

// Kings, pieces and pawns on the board.
inline int menOnBoard(const Position& pos) { return __builtin_popcountll(pos.occupied); }

// What the DTZ tables say about a position: its result and the plies to the capture, pawn move
// or mate that keeps it, as seen by the side to move (0 for a draw, negative when losing).
struct TableDistance {
  TableWdl wdl = TableWdl::Draw;
  int dtz = 0;
};

// A legal move of the root with its rank: moves of equal rank keep the same result. Higher is
// better: 1000 wins within the 50-move rule, 0 draws, -1000 loses; ranks between are wins or
// losses that the 50-move rule decides (with it off, only the sign counts), and, when the
// position has repeated, wins ranked 1000 minus the plies to their next capture, pawn move or
// mate (counted from the last one).
struct RankedMove {
  Move move;
  int rank;
};

class SyzygyTables {
 public:
  SyzygyTables() = default;
  SyzygyTables(const SyzygyTables&) = delete;
  SyzygyTables& operator=(const SyzygyTables&) = delete;

  // Whether the program was built with the Fathom library.
  static bool builtIn();

  // Opens the tables in `path`, folders separated by ':' ("" or "<empty>": no tables), and
  // returns the line that says what was found, e.g. "Syzygy: 35 tables, up to 4 men". A path
  // without tables leaves the object without tables and says so; the path already loaded is
  // not read again.
  std::string load(const std::string& path);

  bool available() const { return largestMen_ > 0; }
  // The most men of any table found (0: none), and how many tables (WDL files) there are.
  int largestMen() const { return largestMen_; }
  int tableCount() const { return tableCount_; }
  const std::string& path() const { return path_; }

  // The WDL answer for pos as if its 50-move clock were at zero (the tables' results count
  // from a capture or pawn move); false when the tables do not answer (castling rights, too
  // many men, a table missing).
  bool probeWdl(const Position& pos, TableWdl& result) const;
  // Result and DTZ for pos with its clock at zero (the clock does not change the DTZ); false
  // when the tables do not answer. Not for the search: the library's root probe is not safe
  // beside other probes.
  bool probeRoot(const Position& pos, TableDistance& result) const;
  // Ranks every legal move of pos (clock as pos has it) by the DTZ tables; `rule50` says
  // whether the 50-move rule counts, `repeated` whether pos has occurred before since the last
  // capture or pawn move (a win then has to make progress now). False when the tables do not
  // answer for every move.
  bool rankRootMoves(Position& pos, bool rule50, bool repeated,
                     std::vector<RankedMove>& ranked) const;

 private:
  std::string path_;
  std::string report_;  // what the last load said
  int largestMen_ = 0;
  int tableCount_ = 0;
};
